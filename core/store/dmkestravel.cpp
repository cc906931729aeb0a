#include "core/store/dmkestravel.h"

#include "core/store/dialecte.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"
#include "core/store/schema.h"

#include <QFileInfo>

TBaseSql OuvrirCatalogue(const QString& chemin)
{
    const QString contexte = QStringLiteral("Impossible d'ouvrir la base de données « %1 ».").arg(chemin);
    // The file is opened read-write and never created: a missing catalogue
    // must be reported, not replaced by an empty one.
    if (!QFileInfo(chemin).isFile())
        throw EDatabaseError(ComposerMessage(contexte, PhraseCatalogue(TCauseEchec::Introuvable), QString()));
    TBaseSql base(chemin, TBaseSql::Acces::Ecriture, contexte);
    base.SetAttente(10000);
    // Several processes of the suite share the file. A damaged file or one
    // that is not a database shows up at the first statement, a schema too
    // new at the version check: the message says which file it is.
    try {
        base.Executer(Dialecte::JournalPartage);
        base.Executer(Dialecte::SansClesEtrangeres);
        MettreAJourSchema(base);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(contexte + '\n' + e.Message());
    }
    return base;
}

TBaseSql OuvrirCatalogueServeur(const QString& connexion)
{
    TBaseSql base = TBaseSql::Serveur(connexion);
    try {
        MettreAJourSchema(base);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(
            QStringLiteral("Le catalogue du serveur « %1 » est illisible.\n").arg(base.Pg()->Nom()) + e.Message());
    }
    return base;
}

TdmKestravel::TdmKestravel(const QString& cheminBase) : TdmKestravel(cheminBase, QString()) {}

TdmKestravel::TdmKestravel(const QString& connexion, Serveur) : TdmKestravel(QString(), connexion) {}

TdmKestravel::TdmKestravel(const QString& cheminBase, const QString& serveur)
    : tblProduit("Produit", "idxPrimaryKey", {"Externe", "IdProduit", "IdProduitType"}, true),
      tblProduitType("ProduitType", "idxPrimaryKey", {"Externe", "IdProduitType"}, true),
      tblProduitCarac("ProduitCarac", "idxPrimaryKey", {"ExterneProduitCaracV", "IdProduit", "IdCarac"}, false),
      tblProduitTypeCarac("ProduitTypeCarac", "idxPrimaryKey", {"Externe", "IdProduitCarac"}, true),
      tblTransaction("Transaction", "idxStock", {"Externe", "IdProduit"}, false),
      tblProduitCaracIndexTriCarac("ProduitCarac", "TriCarac", {"ExterneProduitCaracV", "IdCarac"}, false),
      tblProduitCaracIndexTriProduit("ProduitCarac", "TriProduit", {"ExterneProduitCaracV", "IdProduit", "IdCarac"},
                                     false),
      tblProduitCaracIndexTriEnsemble("ProduitCarac", "TriEnsemble", {"ExterneProduitCaracV", "IdProduit", "IdCarac"},
                                      false),
      m_serveur(serveur)
{
    Ouvrir(cheminBase);
    DataModuleCreate();
}

TdmKestravel::~TdmKestravel()
{
    DataModuleDestroy();
    Fermer();
}

QString TdmKestravel::NomCatalogue() const { return SurServeur() ? NomServeur(m_serveur) : m_chemin; }

TCurseur* TdmKestravel::Curseurs(int i)
{
    TCurseur* tous[] = {&tblProduit,
                        &tblProduitType,
                        &tblProduitCarac,
                        &tblProduitTypeCarac,
                        &tblTransaction,
                        &tblProduitCaracIndexTriCarac,
                        &tblProduitCaracIndexTriProduit,
                        &tblProduitCaracIndexTriEnsemble};
    return i < 8 ? tous[i] : nullptr;
}

void TdmKestravel::Ouvrir(const QString& cheminBase)
{
    if (SurServeur()) {
        m_base = OuvrirCatalogueServeur(m_serveur);
        for (int i = 0; TCurseur* c = Curseurs(i); ++i)
            c->Attacher(&m_base);
        return;
    }
    m_chemin = QFileInfo(cheminBase).absoluteFilePath();
    m_base = OuvrirCatalogue(m_chemin);
    for (int i = 0; TCurseur* c = Curseurs(i); ++i)
        c->Attacher(&m_base);
}

void TdmKestravel::Fermer()
{
    for (int i = 0; TCurseur* c = Curseurs(i); ++i)
        c->Attacher(nullptr);
    m_base = TBaseSql();
}

void TdmKestravel::Rouvrir(const QString& cheminBase)
{
    Fermer();
    Ouvrir(cheminBase);
}

void TdmKestravel::DataModuleCreate()
{
    for (TCurseur* c : {&tblProduit, &tblProduitType, &tblProduitCarac, &tblProduitTypeCarac, &tblTransaction})
        if (!c->Active())
            c->Open();
}

void TdmKestravel::DataModuleDestroy()
{
    for (TCurseur* c : {&tblProduit, &tblProduitType, &tblProduitCarac, &tblProduitTypeCarac, &tblTransaction})
        if (c->Active())
            c->Close();
}
