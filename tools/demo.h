#pragma once
#include <QString>

// Builds a complete demo installation under `racine`:
//   Modules/Kestravel/kestravel and kestravel-fenetres (copies of `programme`
//   and its sibling when given) + Kestravel.abs,
//   Administration/Images/{Interne,Externe,Standard}/ with a few pictures,
//   Administration/Kestravel.ini (Version=1), Echange/demande.xml (a CONTROLE request).
void CreerDemo(const QString& racine, const QString& programme);

// Fills an empty catalogue with the demo rows.
void RemplirCatalogueDemo(const QString& cheminBase);
