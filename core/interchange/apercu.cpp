#include "core/interchange/apercu.h"

#include "core/interchange/fichierimport.h"
#include "core/store/dates.h"
#include "core/store/dmkestravel.h"
#include "core/store/format.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <optional>

namespace {
using TCle = std::array<qint64, 3>;

// Each table's key: its first columns in the file, and the same columns in
// the table. ProduitCarac's may repeat: its rows are paired in order.
struct TCleTable {
    int colonnes;
    const char* ordre;
    bool unique;
};
TCleTable CleTable(TTableCsv table)
{
    switch (table) {
        case TTableCsv::Produit:
            return {3, "Externe, IdProduit, IdProduitType", true};
        case TTableCsv::ProduitCarac:
            return {3, "ExterneProduitCaracV, IdProduit, IdCarac", false};
        case TTableCsv::ProduitType:
            return {2, "Externe, IdProduitType", true};
        case TTableCsv::ProduitTypeCarac:
            return {2, "Externe, IdProduitCarac", true};
        case TTableCsv::Transaction:
            return {1, "IdTransaction", true};
    }
    return {1, "", true};
}

// The table's columns in file order, its rows in key order.
QString SelectionParCle(const TDescriptionTable& d, const TCleTable& cle)
{
    return d.selection.left(d.selection.indexOf(QLatin1String(" ORDER BY "))) + QStringLiteral(" ORDER BY ")
        + QLatin1String(cle.ordre);
}

// The file's rows are not in key order: they are compared again, sorted.
struct TDesordre {};

QString Prix(double v, double autre)
{
    // Two amounts that differ below the cent are shown in full: with every
    // digit that tells them apart, or both would read the same.
    return Montant(v) == Montant(autre) ? QLocale().toString(v, 'g', QLocale::FloatingPointShortest) : Montant(v);
}

// Walks the table in key order beside the file's rows, which come in the
// same order, counting and noting the differences.
class TComparaison {
public:
    TComparaison(TdmKestravel& dm, TTableCsv table, TFichierImport& fichier, int maxDifferences)
        : m_d(DescriptionTable(table)),
          m_cle(CleTable(table)),
          m_fichier(fichier),
          m_max(maxDifferences),
          m_base(dm.Connexion(), SelectionParCle(m_d, m_cle)),
          m_maintenant(DateHeureBase(QDateTime::currentDateTime()).toLatin1()),
          m_valeurs(m_d.colonnes.size())
    {
        m_apercu.table = table;
        LireBase();
    }

    // One record of the file, in key order after the previous one.
    void Ligne(const QList<QByteArrayView>& champs, qint64 ligne)
    {
        for (int i = 0; i < m_d.colonnes.size(); ++i) {
            const QString raison =
                ConvertirChamp(m_valeurs[i], m_d.colonnes[i], champs[i], i == 0, m_maintenant, m_fichier.CodePage());
            if (!raison.isEmpty())
                throw m_fichier.Refus(ligne, raison);
        }
        // A movement without a number is a new one.
        if (m_valeurs.first().genre == TValeurCsv::Genre::Nul) {
            Ajoutee(QStringLiteral("IdTransaction (nouveau, ligne %1 du fichier)").arg(ligne));
            return;
        }
        const TCle cle = CleFichier();
        if (m_lignePrecedente > 0) {
            if (cle < m_precedente)
                throw TDesordre{};
            if (cle == m_precedente && m_cle.unique)
                throw m_fichier.Refus(ligne,
                                      QStringLiteral("même clé (%1) que la ligne %2 du fichier")
                                          .arg(TexteCle(cle))
                                          .arg(m_lignePrecedente));
        }
        m_precedente = cle;
        m_lignePrecedente = ligne;
        while (m_aLigneBase && m_cleBase < cle)
            Supprimee();
        if (m_aLigneBase && m_cleBase == cle) {
            Comparer(cle);
            LireBase();
        } else {
            Ajoutee(TexteCle(cle));
        }
    }

    TApercuImport Terminer(const QByteArray& empreinte)
    {
        while (m_aLigneBase)
            Supprimee();
        m_apercu.lignesTable = m_apercu.modifiees + m_apercu.inchangees + m_apercu.supprimees;
        m_apercu.empreinte = empreinte;
        return std::move(m_apercu);
    }

    // The key of a record's fields, for sorting before the comparison.
    static std::optional<TCle> Cle(TTableCsv table, const QList<QByteArrayView>& champs)
    {
        TCle cle{};
        for (int i = 0; i < CleTable(table).colonnes; ++i) {
            const QByteArrayView t = champs[i].trimmed();
            if (i == 0 && t.isEmpty() && table == TTableCsv::Transaction)
                return std::nullopt;
            cle[i] = t.toLongLong();  // an invalid number is refused by the comparison
        }
        return cle;
    }

private:
    void LireBase()
    {
        m_aLigneBase = m_base.Etape();
        if (m_aLigneBase)
            for (int i = 0; i < m_cle.colonnes; ++i)
                m_cleBase[i] = m_base.Entier(i);
    }

    TCle CleFichier() const
    {
        TCle cle{};
        for (int i = 0; i < m_cle.colonnes; ++i)
            cle[i] = m_valeurs[i].entier;
        return cle;
    }

    QString TexteCle(const TCle& cle) const
    {
        QStringList r;
        for (int i = 0; i < m_cle.colonnes; ++i)
            r << m_d.colonnes[i].nom + ' ' + QString::number(cle[i]);
        return r.join(QStringLiteral(", "));
    }

    bool Egal(int i) const
    {
        const TValeurCsv& v = m_valeurs[i];
        switch (m_d.colonnes[i].type) {
            case TTypeColonne::Entier:
                // A null number is read as 0, as the file writes it back.
                return m_base.Entier(i) == v.entier;
            case TTypeColonne::Prix:
                return m_base.Reel(i) == v.reel;
            case TTypeColonne::DateHeure:
            case TTypeColonne::Texte:
                // A null text is the empty one, as the windows show it.
                return m_base.Octets(i) == v.texte;
        }
        return true;
    }

    QString TexteBase(int i, const TValeurCsv* autre) const
    {
        if (m_base.EstNul(i))
            return {};
        switch (m_d.colonnes[i].type) {
            case TTypeColonne::Entier:
                return QString::number(m_base.Entier(i));
            case TTypeColonne::Prix:
                return Prix(m_base.Reel(i), autre ? autre->reel : m_base.Reel(i));
            default:
                return QString::fromUtf8(m_base.Octets(i));
        }
    }

    QString TexteFichier(int i, double autre) const
    {
        const TValeurCsv& v = m_valeurs[i];
        switch (v.genre) {
            case TValeurCsv::Genre::Nul:
                return {};
            case TValeurCsv::Genre::Entier:
                return QString::number(v.entier);
            case TValeurCsv::Genre::Reel:
                return Prix(v.reel, autre);
            case TValeurCsv::Genre::Texte:
                return QString::fromUtf8(v.texte);
        }
        return {};
    }

    // A row's columns after the key, for an addition or a removal.
    QString Rangee(bool base) const
    {
        QStringList r;
        for (int i = m_cle.colonnes; i < m_d.colonnes.size(); ++i)
            r << (base ? TexteBase(i, nullptr) : TexteFichier(i, m_valeurs[i].reel));
        return r.join(QStringLiteral(" ; "));
    }

    bool Noter() const { return m_apercu.differences.size() < m_max; }

    void Supprimee()
    {
        ++m_apercu.supprimees;
        if (Noter()) {
            TCle cle{};
            for (int i = 0; i < m_cle.colonnes; ++i)
                cle[i] = m_cleBase[i];
            m_apercu.differences << TDifferenceImport{
                TDifferenceImport::Genre::Suppression, TexteCle(cle), {}, Rangee(true), {}};
        }
        LireBase();
    }

    void Ajoutee(const QString& cle)
    {
        ++m_apercu.ajoutees;
        if (Noter())
            m_apercu.differences << TDifferenceImport{TDifferenceImport::Genre::Ajout, cle, {}, {}, Rangee(false)};
    }

    void Comparer(const TCle& cle)
    {
        bool change = false;
        for (int i = m_cle.colonnes; i < m_d.colonnes.size(); ++i) {
            if (Egal(i))
                continue;
            change = true;
            if (!Noter())
                break;
            const double ancienReel = m_base.Reel(i);
            m_apercu.differences << TDifferenceImport{TDifferenceImport::Genre::Modification, TexteCle(cle),
                                                      m_d.colonnes[i].nom, TexteBase(i, &m_valeurs[i]),
                                                      TexteFichier(i, ancienReel)};
        }
        ++(change ? m_apercu.modifiees : m_apercu.inchangees);
    }

    const TDescriptionTable& m_d;
    const TCleTable m_cle;
    TFichierImport& m_fichier;
    const int m_max;
    TInstructionSql m_base;
    bool m_aLigneBase = false;
    TCle m_cleBase{};
    TCle m_precedente{};
    qint64 m_lignePrecedente = 0;
    const QByteArray m_maintenant;
    QList<TValeurCsv> m_valeurs;
    TApercuImport m_apercu;
};

// A file in key order (as the export writes it) is compared as it is read.
TApercuImport ApercuDansLOrdre(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                               const TRappelProgression& progression, int differences)
{
    TFichierImport fichier(table, dossier);
    TComparaison comparaison(dm, table, fichier, differences);
    fichier.Lire([&](const QList<QByteArrayView>& champs, qint64 ligne) { comparaison.Ligne(champs, ligne); },
                 progression);
    return comparaison.Terminer(fichier.Empreinte());
}

// Any other file is held in memory and sorted by key first.
TApercuImport ApercuTrie(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                         const TRappelProgression& progression, int differences)
{
    struct TRecord {
        TCle cle;
        bool nouveau;  // a movement without a number
        qint64 ligne;
        QByteArrayList champs;
    };
    QList<TRecord> records;
    TFichierImport fichier(table, dossier);
    fichier.Lire(
        [&](const QList<QByteArrayView>& champs, qint64 ligne) {
            TRecord r{{}, false, ligne, {}};
            const std::optional<TCle> cle = TComparaison::Cle(table, champs);
            r.nouveau = !cle;
            r.cle = cle.value_or(TCle{});
            for (QByteArrayView c : champs)
                r.champs << c.toByteArray();
            records << std::move(r);
        },
        progression);
    std::stable_sort(records.begin(), records.end(),
                     [](const TRecord& a, const TRecord& b) { return !a.nouveau && (b.nouveau || a.cle < b.cle); });
    TComparaison comparaison(dm, table, fichier, differences);
    QList<QByteArrayView> vues;
    for (const TRecord& r : records) {
        vues.clear();
        for (const QByteArray& c : r.champs)
            vues << c;
        comparaison.Ligne(vues, r.ligne);
    }
    return comparaison.Terminer(fichier.Empreinte());
}

QString Nombre(qint64 n, const char* singulier, const char* pluriel)
{
    return QString::number(n) + ' ' + QString::fromUtf8(n > 1 ? pluriel : singulier);
}
}  // namespace

TApercuImport ApercuImport(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                           const TRappelProgression& progression, int differences)
{
    try {
        return ApercuDansLOrdre(dm, table, dossier, progression, differences);
    } catch (const TDesordre&) {
        return ApercuTrie(dm, table, dossier, progression, differences);
    }
}

QString ResumeApercu(const TApercuImport& a)
{
    return QStringLiteral("%1 : %2, %3, %4, %5.")
        .arg(DescriptionTable(a.table).nom, Nombre(a.ajoutees, "ligne ajoutée", "lignes ajoutées"),
             Nombre(a.modifiees, "modifiée", "modifiées"), Nombre(a.supprimees, "supprimée", "supprimées"),
             Nombre(a.inchangees, "inchangée", "inchangées"));
}

QString LibelleDifference(const TDifferenceImport& d)
{
    switch (d.genre) {
        case TDifferenceImport::Genre::Ajout:
            return QStringLiteral("Ligne ajoutée");
        case TDifferenceImport::Genre::Suppression:
            return QStringLiteral("Ligne supprimée");
        case TDifferenceImport::Genre::Modification:
            break;
    }
    return d.champ;
}

QString TexteDifference(const TDifferenceImport& d)
{
    switch (d.genre) {
        case TDifferenceImport::Genre::Ajout:
            return QStringLiteral("%1 : Ligne ajoutée : « %2 »").arg(d.cle, d.nouvelle);
        case TDifferenceImport::Genre::Suppression:
            return QStringLiteral("%1 : Ligne supprimée : « %2 »").arg(d.cle, d.ancienne);
        case TDifferenceImport::Genre::Modification:
            break;
    }
    return QStringLiteral("%1 : %2 : « %3 » → « %4 »").arg(d.cle, d.champ, d.ancienne, d.nouvelle);
}
