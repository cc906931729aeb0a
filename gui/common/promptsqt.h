#pragma once
// The prompts of a person at a screen: real Qt dialogs.

#include "core/base/prompts.h"

// Real Qt dialogs, owned by the active window.
class TPromptsQt : public IPrompts {
public:
    void Message(const QString& texte) override;
    void Information(const QString& texte) override;
    void Erreur(const QString& texte) override;
    bool Confirmer(const QString& texte) override;
    std::optional<QString> Saisir(const QString& titre, const QString& invite, const QString& defaut) override;
    QString ChoisirDossier(const QString& titre, const QString& depart) override;
    QString ChoisirFichier(const QString& titre, const QString& depart, const QString& filtre) override;
    bool OuvrirFichier(const QString& chemin) override;
    QString ChoisirFichierEnregistrement(const QString& titre, const QString& depart, const QString& filtre) override;
};

// True when the process can show windows to a person.
bool EcranDisponible();
