#include "core/interchange/interchange.h"

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

// Binds one field of the file (Windows-1252 bytes); returns why it cannot be
// imported, or nothing. An empty date-time becomes `maintenant`.
QString BinderChamp(TInstructionSql& st, int parametre, const TColonneCsv& c, QByteArrayView champ, bool premier,
                    const QString& maintenant, TCodePage& codePage)
{
    const QByteArrayView t = champ.trimmed();
    auto refus = [&](const char* quoi) {
        return QStringLiteral("« %1 » n'est pas %2 (colonne %3)")
            .arg(codePage.Decoder(champ), QString::fromUtf8(quoi), c.nom);
    };
    switch (c.type) {
        case TTypeColonne::Entier: {
            if (t.isEmpty()) {
                // An empty movement number is left to the database to assign.
                if (premier && c.nom == QLatin1String("IdTransaction"))
                    st.LierNul(parametre);
                else
                    st.LierEntier(parametre, 0);
                return {};
            }
            bool ok = false;
            const qint64 v = t.toLongLong(&ok);
            if (!ok)
                return refus("un nombre entier");
            st.LierEntier(parametre, v);
            return {};
        }
        case TTypeColonne::Prix: {
            bool ok = true;
            const double v = t.isEmpty() ? 0.0 : LireMontant(codePage.Decoder(t), &ok);
            if (!ok)
                return refus("un prix");
            st.LierReel(parametre, v);
            return {};
        }
        case TTypeColonne::DateHeure: {
            const QString d = t.isEmpty() ? maintenant : NormaliserDateHeureBase(codePage.Decoder(t));
            if (d.isEmpty())
                return refus("une date-heure aaaa-mm-jj hh:nn:ss.zzz");
            st.LierTexte(parametre, QByteArrayView(d.toLatin1()));
            return {};
        }
        case TTypeColonne::Texte: {
            // ASCII needs no conversion to UTF-8.
            if (EstAscii(champ) && !(c.nettoyee && champ.contains(QByteArrayView("\\r\\n")))) {
                st.LierTexte(parametre, champ);
                return {};
            }
            bool ok = true;
            const QString texte = codePage.Decoder(champ, &ok);
            if (!ok)
                return QStringLiteral(
                           "texte de la colonne %1 qui n'est pas de l'UTF-8 valide (le fichier commence "
                           "par la marque de l'UTF-8)")
                    .arg(c.nom);
            st.LierTexte(parametre, c.nettoyee ? RestaurerTexteProduit(texte) : texte);
            return {};
        }
    }
    return {};
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
                              const TRappelProgression& progression)
{
    const TDescriptionTable& d = DescriptionTable(table);
    const QString chemin = CheminImport(table, dossier);
    if (!QFileInfo::exists(chemin))
        throw EInterchange(QStringLiteral("Importation - Le fichier d'importation n'existe pas : ") + chemin);
    QFile fichier(chemin);
    if (!fichier.open(QIODevice::ReadOnly))
        throw EInterchange(QStringLiteral("Importation - Une erreur est survenue pendant l'ouverture du fichier : ")
                           + chemin);
    const qint64 taille = fichier.size();

    // Emptying and inserts are one transaction: a failing line leaves the
    // table as it was.
    TResultatImport resultat;
    // On a server the movements the file gives without a number are
    // numbered here, past every number the table had and the file gives,
    // as the file's engine numbers them.
    const bool numeroter = table == TTableCsv::Transaction && dm.Connexion().SurServeur();
    qint64 plusGrand = 0;
    std::optional<TTransaction> transaction;
    try {
        transaction.emplace(dm);
        // The products are replaced wholesale: the search index goes with
        // the old ones (no trigger runs for each row) and is built afresh
        // from the new ones by the next window that searches.
        if (table == TTableCsv::Produit)
            SupprimerIndexRecherche(dm.Connexion());
        if (numeroter)
            plusGrand = dm.Connexion().Valeur("SELECT MAX(IdTransaction) FROM \"Transaction\"").toLongLong();
        dm.Connexion().Executer(d.vidage);
        resultat.supprimees = dm.Connexion().LignesModifiees();
    } catch (const EKestravel&) {
        throw EInterchange(QStringLiteral("Importation - Une erreur est survenue pendant le vidage de la table ")
                           + d.nom + ".");
    }

    auto refus = [&](qint64 ligne, const QString& raison) {
        return EKestravel(QStringLiteral("Importation - Ligne %1 du fichier %2 : %3.\nLa table %4 n'a pas été "
                                         "modifiée.")
                              .arg(ligne)
                              .arg(d.fichierImport, raison, d.nom));
    };
    TChargementSql chargement(dm.Connexion(), d.insertion);
    TInstructionSql& insertion = chargement.Ligne();
    // CSV lines of the rows not yet checked by the database.
    QList<qint64> lot;
    auto refusLot = [&](const EDatabaseError& e) {
        const auto [ligne, raison] = LigneEnEchec(lot, e.Message());
        return refus(ligne, raison);
    };
    QList<int> parametres;
    for (const TColonneCsv& c : d.colonnes)
        parametres << insertion.Parametre(":" + c.nom);

    const QString maintenant = DateHeureBase(QDateTime::currentDateTime());
    const QByteArray entete = d.Entete().toLatin1();
    TCodePage codePage;
    const TLecteurCsv* lu = nullptr;
    // Content past the header: a record after it, or text glued to it.
    qint64 enregistrements = 0;
    bool contenuApresEntete = false;
    TLecteurCsv lecteur(int(d.colonnes.size()), [&](const QList<QByteArrayView>& champs, qint64 ligne) {
        if (enregistrements++ == 0)
            codePage.SetUtf8(lu->Utf8());
        else
            contenuApresEntete = true;
        if (champs.first() == entete) {
            contenuApresEntete = contenuApresEntete || lu->LigneDeborde();
            return;
        }
        for (int i = 0; i < d.colonnes.size(); ++i) {
            const QString raison =
                BinderChamp(insertion, parametres[i], d.colonnes[i], champs[i], i == 0, maintenant, codePage);
            if (!raison.isEmpty())
                throw refus(ligne, raison);
        }
        if (numeroter) {
            // The movement's number is the first column.
            if (champs.first().trimmed().isEmpty())
                insertion.LierEntier(parametres.first(), Dialecte::NumeroMouvement(dm.Connexion(), plusGrand + 1));
            else
                plusGrand = qMax(plusGrand, champs.first().trimmed().toLongLong());
        }
        lot << ligne;
        try {
            chargement.Ajouter();
        } catch (const EDatabaseError& e) {
            throw refusLot(e);
        }
        if (chargement.LignesEnAttente() == 0)
            lot.clear();
        ++resultat.inserees;
    });
    lu = &lecteur;

    QByteArray morceau(256 * 1024, Qt::Uninitialized);
    qint64 lus = 0;
    for (;;) {
        const qint64 n = fichier.read(morceau.data(), morceau.size());
        if (n < 0)
            throw EInterchange(QStringLiteral("Importation - Une erreur est survenue pendant la lecture du fichier : ")
                               + chemin);
        if (n == 0)
            break;
        lecteur.Lire(QByteArrayView(morceau.constData(), n));
        lus += n;
        if (lecteur.Erreur() != TErreurCsv::Aucune)
            break;
        if (progression)
            progression(lus, qMax(taille, lus));
    }
    if (!lecteur.Terminer()) {
        const int champ = lecteur.ChampErreur();
        throw refus(
            lecteur.LigneErreur(),
            QStringLiteral("guillemet non fermé")
                + (champ < d.colonnes.size() ? QStringLiteral(" (colonne %1)").arg(d.colonnes[champ].nom) : QString()));
    }
    // Rows were there but none could be told apart (an unknown line end or
    // separator): emptying the table would lose it for nothing.
    if (resultat.inserees == 0 && contenuApresEntete)
        throw EInterchange(QStringLiteral("Importation - Le fichier %1 ne contient aucune ligne lisible après son "
                                          "en-tête : ses champs doivent être séparés par des points-virgules et ses "
                                          "lignes par des fins de ligne.\nLa table %2 n'a pas été modifiée.")
                               .arg(QDir::toNativeSeparators(chemin), d.nom));
    try {
        chargement.Terminer();
        if (numeroter)
            Dialecte::AlignerNumerosMouvements(dm.Connexion());
    } catch (const EDatabaseError& e) {
        throw refusLot(e);
    }
    transaction->Commit();
    if (progression)
        progression(lus, lus);
    return resultat;
}

QString MessageLignesSupprimees(TTableCsv table, qint64 supprimees)
{
    return DescriptionTable(table).nom + QStringLiteral(" : Nombre de lignes supprimées = ")
        + QString::number(supprimees);
}
