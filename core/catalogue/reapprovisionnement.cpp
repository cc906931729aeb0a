#include "core/catalogue/reapprovisionnement.h"

#include "core/catalogue/hausse.h"
#include "core/interchange/formatcsv.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <numeric>

QString TitreColonneReappro(int colonne)
{
    static const char* const titres[NbColonnesReappro] = {"Référence", "Libellé", "Stock",
                                                          "Minimum",   "Manque",  "Prix achat HT"};
    return colonne >= 0 && colonne < NbColonnesReappro ? QString::fromUtf8(titres[colonne]) : QString();
}

QString TListeReapprovisionnement::Texte(int i, int colonne) const
{
    switch (colonne) {
        case ReapproReference:
            return Reference(i).toString();
        case ReapproLibelle:
            return Libelle(i).toString();
        case ReapproStock:
            return QString::number(Ligne(i).stock);
        case ReapproMinimum:
            return QString::number(Minimum(i));
        case ReapproManque:
            return QString::number(Manque(i));
        case ReapproPrixAchat:
            return Montant(Ligne(i).prixAchatHT);
        default:
            return {};
    }
}

TListeReapprovisionnement LireProduitsAReapprovisionner(TdmKestravel& dm, int idProduitType)
{
    // The condition is the index's own, word for word: otherwise neither
    // engine would use it.
    QString sql = QStringLiteral(
        "SELECT IdProduit, IdProduitType, Stock, StockMini, PrixAchatHT, Reference, Libelle FROM Produit"
        " WHERE Externe = 0 AND StockMini > 0 AND Stock <= StockMini");
    if (idProduitType != 0) {
        QStringList ids{QString::number(idProduitType)};
        for (int id : CollecterDescendants(dm, idProduitType))
            ids << QString::number(id);
        sql += QStringLiteral(" AND IdProduitType IN (%1)").arg(ids.join(','));
    }
    TInstructionSql q(dm.Connexion(), sql, QStringLiteral("Lecture des produits à réapprovisionner impossible."));
    TListeReapprovisionnement liste;
    while (q.Etape()) {
        TLignesProduits::Ligne l;
        l.idProduit = int(q.Entier(0));
        l.idProduitType = int(q.Entier(1));
        l.stock = int(q.Entier(2));
        l.prixAchatHT = q.Reel(4);
        liste.m_lignes.Ajouter(l, q.Octets(6), q.Octets(5));
        liste.m_minimums.push_back(int(q.Entier(3)));
    }
    liste.m_ordre.resize(size_t(liste.m_lignes.Taille()));
    std::iota(liste.m_ordre.begin(), liste.m_ordre.end(), 0);
    const auto manque = [&](int r) { return qint64(liste.m_minimums[size_t(r)]) - liste.m_lignes[r].stock; };
    std::sort(liste.m_ordre.begin(), liste.m_ordre.end(), [&](int a, int b) {
        const qint64 ma = manque(a), mb = manque(b);
        if (ma != mb)
            return ma > mb;
        return liste.m_lignes[a].idProduit < liste.m_lignes[b].idProduit;
    });
    return liste;
}

QByteArray CsvReapprovisionnement(const TListeReapprovisionnement& liste)
{
    TCodePage codePage;
    QByteArray octets;
    for (int c = 0; c < NbColonnesReappro; ++c)
        AjouterChampCsv(octets, codePage.Encoder(TitreColonneReappro(c)));
    TerminerLigneCsv(octets);
    for (int i = 0; i < liste.Taille(); ++i) {
        for (int c = 0; c < NbColonnesReappro; ++c) {
            QString texte = liste.Texte(i, c);
            // The product file's rule: no semicolon, line breaks as "\r\n".
            if (c == ReapproReference || c == ReapproLibelle)
                texte = NettoyerTexteProduit(texte);
            AjouterChampCsv(octets, codePage.Encoder(texte));
        }
        TerminerLigneCsv(octets);
    }
    return octets;
}

void EcrireCsvReapprovisionnement(const TListeReapprovisionnement& liste, const QString& chemin)
{
    const QByteArray octets = CsvReapprovisionnement(liste);
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly) || fichier.write(octets) != octets.size() || !fichier.commit())
        throw EKestravel(QStringLiteral("Le fichier « %1 » n'a pas pu être écrit : %2. Aucun fichier n'a été modifié.")
                             .arg(chemin, fichier.errorString()));
}
