#include "core/interchange/interchange.h"

#include "core/interchange/apercu.h"
#include "core/interchange/fichierimport.h"

#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/dmkestravel.h"
#include "core/store/echecs.h"
#include "core/store/format.h"
#include "core/store/recherche.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <optional>

namespace {
// Appends one field of the export file, as the row holds it. Plain ASCII
// (numbers, most texts) is the same in UTF-8 and Windows-1252 and is copied
// as it is; anything else goes through the code page.
void AjouterChampExport(QByteArray& ligne, const TInstructionSql& st, int i, const TColonneCsv& c, TCodePage& codePage)
{
    const bool nul = st.EstNul(i);
    switch (c.type) {
        case TTypeColonne::Entier:
            AjouterChampCsv(ligne, nul ? QByteArray() : QByteArray::number(st.Entier(i)));
            return;
        case TTypeColonne::Prix:
            AjouterChampCsv(ligne, codePage.Encoder(Montant(nul ? 0.0 : st.Reel(i))));
            return;
        case TTypeColonne::DateHeure: {
            // The database form is the file's; a text that is no date-time is
            // written as it stands.
            const QByteArrayView o = st.Octets(i);
            if (o.size() == 23 && o[10] == ' ') {
                AjouterChampCsv(ligne, o);
                return;
            }
            const QString t = QString::fromUtf8(o);
            const QString d = NormaliserDateHeureBase(t);
            AjouterChampCsv(ligne, codePage.Encoder(d.isEmpty() ? t : d));
            return;
        }
        case TTypeColonne::Texte: {
            const QByteArrayView o = st.Octets(i);
            const bool aNettoyer = c.nettoyee && (o.contains(';') || o.contains('\r') || o.contains('\n'));
            if (EstAscii(o) && !aNettoyer) {
                AjouterChampCsv(ligne, o);
            } else {
                const QString t = QString::fromUtf8(o);
                AjouterChampCsv(ligne, codePage.Encoder(c.nettoyee ? NettoyerTexteProduit(t) : t));
            }
            return;
        }
    }
}

QString MessageEcriture(const QString& ligne)
{
    return QStringLiteral("Exportation - Une erreur est survenue pendant l'écriture du fichier : ") + ligne;
}

QString NomTableSql(const TDescriptionTable& d) { return "\"" + d.nom + "\""; }

// The CSV line of the row a failed load is about. The file checks each row
// as it is added (the last one); a server checks a whole batch at its end
// and names the row by its place in the batch ("COPY produit, line 12"),
// which `lot`, the CSV lines of the batch's rows in order, maps back. The
// message loses that server-side place, which would only mislead.
std::pair<qint64, QString> LigneEnEchec(const QList<qint64>& lot, QString message)
{
    // "CONTEXT:  COPY t, line 3", "CONTEXTE : COPY t, ligne 3" on a French server.
    static const QRegularExpression place(QStringLiteral(R"(\s*\S+\s*:\s*COPY\s+\S+,\s+\S+\s+(\d+).*$)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    qint64 ligne = lot.isEmpty() ? 0 : lot.last();
    const QRegularExpressionMatch m = place.match(message);
    if (m.hasMatch()) {
        const qint64 n = m.captured(1).toLongLong();
        if (n >= 1 && n <= lot.size())
            ligne = lot[n - 1];
        message.truncate(m.capturedStart());
        if (message.endsWith('.'))
            message.chop(1);
    }
    return {ligne, message};
}

struct TVidage {
    qint64 supprimees = 0;
    qint64 plusGrandMouvement = 0;  // before the emptying, when movements are numbered here
};

// Begins the import's transaction and empties the table in it. Emptying and
// inserts are one transaction: a failing line leaves the table as it was.
TVidage ViderTable(TdmKestravel& dm, const TDescriptionTable& d, bool numeroter,
                   std::optional<TTransaction>& transaction)
{
    TVidage v;
    try {
        transaction.emplace(dm);
        // The products are replaced wholesale: the search index goes with
        // the old ones (no trigger runs for each row) and is built afresh
        // from the new ones by the next window that searches.
        if (d.table == TTableCsv::Produit)
            SupprimerIndexRecherche(dm.Connexion());
        if (numeroter)
            v.plusGrandMouvement = dm.Connexion().Valeur("SELECT MAX(IdTransaction) FROM \"Transaction\"").toLongLong();
        dm.Connexion().Executer(d.vidage);
        v.supprimees = dm.Connexion().LignesModifiees();
    } catch (const EKestravel&) {
        throw EInterchange(QStringLiteral("Importation - Une erreur est survenue pendant le vidage de la table ")
                           + d.nom + ".");
    }
    return v;
}

// The file's records written to the emptied table, in batches on a server.
class TInsertionImport {
public:
    // On a server the movements the file gives without a number are
    // numbered here, past every number the table had and the file gives,
    // as the file's engine numbers them.
    TInsertionImport(TdmKestravel& dm, const TDescriptionTable& d, TFichierImport& fichier, bool numeroter,
                     qint64 plusGrandMouvement)
        : m_dm(dm),
          m_d(d),
          m_fichier(fichier),
          m_chargement(dm.Connexion(), d.insertion),
          m_numeroter(numeroter),
          m_plusGrand(plusGrandMouvement),
          m_maintenant(DateHeureBase(QDateTime::currentDateTime()).toLatin1()),
          m_valeurs(d.colonnes.size())
    {
        for (const TColonneCsv& c : d.colonnes)
            m_parametres << m_chargement.Ligne().Parametre(":" + c.nom);
    }

    void Ajouter(const QList<QByteArrayView>& champs, qint64 ligne)
    {
        TInstructionSql& insertion = m_chargement.Ligne();
        for (int i = 0; i < m_d.colonnes.size(); ++i) {
            const QString raison =
                ConvertirChamp(m_valeurs[i], m_d.colonnes[i], champs[i], i == 0, m_maintenant, m_fichier.CodePage());
            if (!raison.isEmpty())
                throw m_fichier.Refus(ligne, raison);
            LierValeur(insertion, m_parametres[i], m_valeurs[i]);
        }
        if (m_numeroter) {
            // The movement's number is the first column.
            if (m_valeurs.first().genre == TValeurCsv::Genre::Nul)
                insertion.LierEntier(m_parametres.first(),
                                     Dialecte::NumeroMouvement(m_dm.Connexion(), m_plusGrand + 1));
            else
                m_plusGrand = qMax(m_plusGrand, m_valeurs.first().entier);
        }
        m_lot << ligne;
        try {
            m_chargement.Ajouter();
        } catch (const EDatabaseError& e) {
            throw RefusLot(e);
        }
        if (m_chargement.LignesEnAttente() == 0)
            m_lot.clear();
        ++m_inserees;
    }

    void Terminer()
    {
        try {
            m_chargement.Terminer();
            if (m_numeroter)
                Dialecte::AlignerNumerosMouvements(m_dm.Connexion());
        } catch (const EDatabaseError& e) {
            throw RefusLot(e);
        }
    }

    qint64 Inserees() const { return m_inserees; }

private:
    EKestravel RefusLot(const EDatabaseError& e) const
    {
        const auto [ligne, raison] = LigneEnEchec(m_lot, e.Message());
        return m_fichier.Refus(ligne, raison);
    }

    TdmKestravel& m_dm;
    const TDescriptionTable& m_d;
    TFichierImport& m_fichier;
    TChargementSql m_chargement;
    const bool m_numeroter;
    qint64 m_plusGrand;
    const QByteArray m_maintenant;
    QList<int> m_parametres;
    QList<TValeurCsv> m_valeurs;
    QList<qint64> m_lot;  // CSV lines of the rows not yet checked by the database
    qint64 m_inserees = 0;
};

// The user agreed to what the preview showed: the file read now and the rows
// replaced must be the ones it compared.
void VerifierApercu(const TApercuImport& apercu, const TFichierImport& fichier, const TVidage& vidage)
{
    if (fichier.Empreinte() == apercu.empreinte && vidage.supprimees == apercu.lignesTable)
        return;
    throw EInterchange(QStringLiteral("Importation - Le fichier %1 ou la table %2 a changé depuis l'aperçu des "
                                      "différences.\nLa table %2 n'a pas été modifiée : relancez l'importation "
                                      "pour voir les nouvelles différences.")
                           .arg(QDir::toNativeSeparators(fichier.Chemin()), DescriptionTable(apercu.table).nom));
}
}  // namespace

QString CheminExport(TTableCsv table, const QString& dossier, const QDateTime& moment)
{
    return QDir(dossier).filePath(moment.toString(QStringLiteral("yyyyMMdd_HHmmss"))
                                  + DescriptionTable(table).suffixeExport);
}

QString CheminImport(TTableCsv table, const QString& dossier)
{
    return QDir(dossier).filePath(DescriptionTable(table).fichierImport);
}

TResultatExport ExporterTable(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                              const TRappelProgression& progression)
{
    const TDescriptionTable& d = DescriptionTable(table);
    const QString chemin = CheminExport(table, dossier, QDateTime::currentDateTime());
    // The old file of the same name stays until the new one is complete.
    QSaveFile fichier(chemin);
    if (!fichier.open(QIODevice::WriteOnly))
        throw EInterchange(QStringLiteral("Exportation - Une erreur est survenue pendant la création du fichier."));

    TCodePage codePage;
    QByteArray ligne;
    for (const TColonneCsv& c : d.colonnes)
        AjouterChampCsv(ligne, c.nom.toLatin1());
    TerminerLigneCsv(ligne);
    if (fichier.write(ligne) != ligne.size())
        throw EInterchange(MessageEcriture(QStringLiteral("EN-TETE")));

    const qint64 total = dm.Connexion().Valeur("SELECT COUNT(*) FROM " + NomTableSql(d)).toLongLong();
    if (progression)
        progression(0, total);

    TInstructionSql selection(dm.Connexion(), d.selection);
    constexpr qsizetype tailleTampon = 1 << 20;
    QByteArray tampon;
    tampon.reserve(tailleTampon + 4096);
    // The message names the last line that could not be written.
    auto vider = [&] {
        if (fichier.write(tampon) != tampon.size())
            throw EInterchange(MessageEcriture(codePage.Decoder(ligne).chopped(2)));
        tampon.resize(0);  // keeps the allocation
    };
    TResultatExport resultat{chemin, 0, 0};
    qint64 fait = 0;
    while (selection.Etape()) {
        ligne.resize(0);
        for (int i = 0; i < d.colonnes.size(); ++i)
            AjouterChampExport(ligne, selection, i, d.colonnes[i], codePage);
        TerminerLigneCsv(ligne);
        // The header is line 1.
        if (resultat.premiereLigneRemplacee == 0 && codePage.Remplacements() > 0)
            resultat.premiereLigneRemplacee = fait + 2;
        tampon += ligne;
        if (tampon.size() >= tailleTampon)
            vider();
        ++fait;
        if (progression && fait % 64 == 0)
            progression(fait, qMax(total, fait));
    }
    vider();
    if (!fichier.commit())
        throw EInterchange(MessageEcriture(fait ? codePage.Decoder(ligne).chopped(2) : QStringLiteral("EN-TETE")));
    if (progression)
        progression(fait, fait);
    resultat.remplacements = codePage.Remplacements();
    return resultat;
}

QString MessageRemplacements(TTableCsv table, const TResultatExport& r)
{
    if (r.remplacements == 0)
        return {};
    const QString nombre = r.remplacements == 1
        ? QStringLiteral("1 caractère que le fichier CSV (Windows-1252) ne peut pas contenir a été remplacé")
        : QStringLiteral("%1 caractères que le fichier CSV (Windows-1252) ne peut pas contenir ont été remplacés")
              .arg(r.remplacements);
    return QStringLiteral(
               "Exportation de la table %1 : %2 par « ? ». Première ligne concernée : ligne %3 du "
               "fichier %4.")
        .arg(DescriptionTable(table).nom, nombre)
        .arg(r.premiereLigneRemplacee)
        .arg(QDir::toNativeSeparators(r.chemin));
}

TResultatImport ImporterTable(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                              const TRappelProgression& progression, const TApercuImport* apercu)
{
    const TDescriptionTable& d = DescriptionTable(table);
    TFichierImport fichier(table, dossier);
    const bool numeroter = table == TTableCsv::Transaction && dm.Connexion().SurServeur();
    std::optional<TTransaction> transaction;
    const TVidage vidage = ViderTable(dm, d, numeroter, transaction);
    TInsertionImport insertion(dm, d, fichier, numeroter, vidage.plusGrandMouvement);
    fichier.Lire([&](const QList<QByteArrayView>& champs, qint64 ligne) { insertion.Ajouter(champs, ligne); },
                 progression);
    insertion.Terminer();
    if (apercu)
        VerifierApercu(*apercu, fichier, vidage);
    transaction->Commit();
    return {vidage.supprimees, insertion.Inserees()};
}

QString MessageLignesSupprimees(TTableCsv table, qint64 supprimees)
{
    return DescriptionTable(table).nom + QStringLiteral(" : Nombre de lignes supprimées = ")
        + QString::number(supprimees);
}
