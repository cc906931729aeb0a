#include "core/store/lignesproduits.h"

#include <algorithm>

#include "core/store/dmkestravel.h"
#include "core/store/format.h"

#include <QStringDecoder>

bool TLignesProduits::MemesLignes(const TLignesProduits& autre) const
{
    const auto memes = [](const Ligne& a, const Ligne& b) {
        return a.externe == b.externe && a.idProduit == b.idProduit && a.idProduitType == b.idProduitType
            && a.stock == b.stock && a.prixTarifHT == b.prixTarifHT && a.prixAchatHT == b.prixAchatHT
            && a.prixVenteHT == b.prixVenteHT && a.debut == b.debut && a.lgLibelle == b.lgLibelle
            && a.lgReference == b.lgReference && a.lgCategorie == b.lgCategorie;
    };
    return m_textes == autre.m_textes && m_lignes.size() == autre.m_lignes.size()
        && std::equal(m_lignes.begin(), m_lignes.end(), autre.m_lignes.begin(), memes);
}

void TLignesProduits::Reserver(int lignes)
{
    m_lignes.reserve(size_t(lignes));
    m_textes.reserve(size_t(lignes) * 40);
}

void TLignesProduits::Ajouter(Ligne ligne, QByteArrayView libelle, QByteArrayView reference, QByteArrayView categorie)
{
    // UTF-8 never takes fewer bytes than UTF-16 takes code units: decode in
    // place, then give back what was not used.
    thread_local QStringDecoder decodeur(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const auto decoder = [this](QByteArrayView octets) {
        const size_t debut = m_textes.size();
        m_textes.resize(debut + size_t(octets.size()));
        QChar* fin = decodeur.appendToBuffer(reinterpret_cast<QChar*>(m_textes.data() + debut), octets);
        m_textes.resize(size_t(reinterpret_cast<char16_t*>(fin) - m_textes.data()));
        return quint32(m_textes.size() - debut);
    };
    ligne.debut = quint32(m_textes.size());
    ligne.lgLibelle = decoder(libelle);
    ligne.lgReference = decoder(reference);
    ligne.lgCategorie = decoder(categorie);
    m_lignes.push_back(ligne);
}

void TLignesProduits::Ajouter(Ligne ligne, QStringView libelle, QStringView reference, QStringView categorie)
{
    const auto copier = [this](QStringView texte) {
        m_textes.insert(m_textes.end(), texte.utf16(), texte.utf16() + texte.size());
        return quint32(texte.size());
    };
    ligne.debut = quint32(m_textes.size());
    ligne.lgLibelle = copier(libelle);
    ligne.lgReference = copier(reference);
    ligne.lgCategorie = copier(categorie);
    m_lignes.push_back(ligne);
}

QStringView TLignesProduits::Libelle(int i) const
{
    const Ligne& l = m_lignes[size_t(i)];
    return QStringView(m_textes.data() + l.debut, l.lgLibelle);
}

QStringView TLignesProduits::Reference(int i) const
{
    const Ligne& l = m_lignes[size_t(i)];
    return QStringView(m_textes.data() + l.debut + l.lgLibelle, l.lgReference);
}

QStringView TLignesProduits::Categorie(int i) const
{
    const Ligne& l = m_lignes[size_t(i)];
    return QStringView(m_textes.data() + l.debut + l.lgLibelle + l.lgReference, l.lgCategorie);
}

QString TLignesProduits::Texte(int i, TChampProduit champ) const
{
    const Ligne& l = m_lignes[size_t(i)];
    switch (champ) {
        case TChampProduit::Externe:
            return QString::number(l.externe);
        case TChampProduit::IdProduit:
            return QString::number(l.idProduit);
        case TChampProduit::IdProduitType:
            return QString::number(l.idProduitType);
        case TChampProduit::Libelle:
            return Libelle(i).toString();
        case TChampProduit::Reference:
            return Reference(i).toString();
        case TChampProduit::PrixTarifHT:
            return Montant(l.prixTarifHT);
        case TChampProduit::PrixAchatHT:
            return Montant(l.prixAchatHT);
        case TChampProduit::PrixVenteHT:
            return Montant(l.prixVenteHT);
        case TChampProduit::Stock:
            return l.stock > 0 ? QString::number(l.stock) : QString();
        case TChampProduit::Categorie:
            return Categorie(i).toString();
    }
    return QString();
}

const char* const ColonnesLigneProduit =
    "p.Externe, p.IdProduit, p.IdProduitType, p.Libelle, p.Reference, p.PrixTarifHT, p.PrixAchatHT,"
    " p.PrixVenteHT, p.Stock";

void AjouterLigneProduit(TLignesProduits& lignes, const TInstructionSql& st, QStringView categorie)
{
    TLignesProduits::Ligne l;
    l.externe = int(st.Entier(0));
    l.idProduit = int(st.Entier(1));
    l.idProduitType = int(st.Entier(2));
    l.prixTarifHT = st.Reel(5);
    l.prixAchatHT = st.Reel(6);
    l.prixVenteHT = st.Reel(7);
    l.stock = int(st.Entier(8));
    if (categorie.isEmpty()) {
        lignes.Ajouter(l, st.Octets(3), st.Octets(4));
    } else {
        const QString libelle = st.Texte(3);
        lignes.Ajouter(l, libelle, st.Texte(4), categorie);
    }
}

TLignesProduits LireProduitsCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    const QByteArray sql = QByteArray("SELECT ") + ColonnesLigneProduit
        + " FROM Produit p WHERE Externe = ? AND IdProduitType = ? ORDER BY IdProduit";
    TInstructionSql q(dm.Connexion(), QByteArrayView(sql), QStringLiteral("Lecture des produits impossible."));
    q.LierEntier(1, externe);
    q.LierEntier(2, idProduitType);
    TLignesProduits lignes;
    while (q.Etape())
        AjouterLigneProduit(lignes, q);
    return lignes;
}

int ComparerTexteTri(QStringView a, QStringView b)
{
    const auto plier = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = plier(a[i].unicode());
        const char16_t y = plier(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
