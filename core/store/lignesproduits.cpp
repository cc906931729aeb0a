#include "core/store/lignesproduits.h"

#include "core/store/dmkestravel.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

#include <QStringDecoder>
#include <sqlite3.h>

namespace {
// Closes a statement whatever way the read ends.
struct TInstruction {
    sqlite3_stmt* st = nullptr;
    ~TInstruction() { sqlite3_finalize(st); }
};

QByteArrayView Octets(sqlite3_stmt* st, int colonne)
{
    const auto* texte = reinterpret_cast<const char*>(sqlite3_column_text(st, colonne));
    return texte ? QByteArrayView(texte, sqlite3_column_bytes(st, colonne)) : QByteArrayView();
}
}  // namespace

void TLignesProduits::Reserver(int lignes)
{
    m_lignes.reserve(size_t(lignes));
    m_textes.reserve(size_t(lignes) * 40);
}

void TLignesProduits::Ajouter(Ligne ligne, QByteArrayView libelle, QByteArrayView reference,
                              QByteArrayView categorie)
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
    case TChampProduit::Externe: return QString::number(l.externe);
    case TChampProduit::IdProduit: return QString::number(l.idProduit);
    case TChampProduit::IdProduitType: return QString::number(l.idProduitType);
    case TChampProduit::Libelle: return Libelle(i).toString();
    case TChampProduit::Reference: return Reference(i).toString();
    case TChampProduit::PrixTarifHT: return Montant(l.prixTarifHT);
    case TChampProduit::PrixAchatHT: return Montant(l.prixAchatHT);
    case TChampProduit::PrixVenteHT: return Montant(l.prixVenteHT);
    case TChampProduit::Stock: return l.stock > 0 ? QString::number(l.stock) : QString();
    case TChampProduit::Categorie: return Categorie(i).toString();
    }
    return QString();
}

const char* const ColonnesLigneProduit =
    "p.Externe, p.IdProduit, p.IdProduitType, p.Libelle, p.Reference, p.PrixTarifHT, p.PrixAchatHT,"
    " p.PrixVenteHT, p.Stock";

void AjouterLigneProduit(TLignesProduits& lignes, sqlite3_stmt* st, QStringView categorie)
{
    TLignesProduits::Ligne l;
    l.externe = sqlite3_column_int(st, 0);
    l.idProduit = sqlite3_column_int(st, 1);
    l.idProduitType = sqlite3_column_int(st, 2);
    l.prixTarifHT = sqlite3_column_double(st, 5);
    l.prixAchatHT = sqlite3_column_double(st, 6);
    l.prixVenteHT = sqlite3_column_double(st, 7);
    l.stock = sqlite3_column_int(st, 8);
    if (categorie.isEmpty()) {
        lignes.Ajouter(l, Octets(st, 3), Octets(st, 4));
    } else {
        const QString libelle = QString::fromUtf8(Octets(st, 3));
        lignes.Ajouter(l, libelle, QString::fromUtf8(Octets(st, 4)), categorie);
    }
}

TLignesProduits LireProduitsCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    TInstruction q;
    const QByteArray sql = QByteArray("SELECT ") + ColonnesLigneProduit
                           + " FROM Produit p WHERE Externe = ? AND IdProduitType = ? ORDER BY IdProduit";
    if (sqlite3_prepare_v2(dm.Handle(), sql.constData(), int(sql.size()), &q.st, nullptr) != SQLITE_OK)
        throw EDatabaseError(MessageSqlite(dm.Handle(), QStringLiteral("Lecture des produits impossible.")));
    sqlite3_bind_int(q.st, 1, externe);
    sqlite3_bind_int(q.st, 2, idProduitType);
    TLignesProduits lignes;
    int rc;
    while ((rc = sqlite3_step(q.st)) == SQLITE_ROW)
        AjouterLigneProduit(lignes, q.st);
    if (rc != SQLITE_DONE)
        throw EDatabaseError(MessageSqlite(dm.Handle(), QStringLiteral("Lecture des produits impossible.")));
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
