#include "core/store/libpq.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/pglocal.h"

#include <dlfcn.h>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

namespace {
template <class F>
void Charger(void* bib, F& f, const char* nom)
{
    f = reinterpret_cast<F>(dlsym(bib, nom));
    if (!f)
        throw EDatabaseError(
            QStringLiteral("La bibliothèque PostgreSQL (libpq) installée est trop ancienne : %1 manque.").arg(nom));
}

TLibpq ChargerLibpq()
{
    void* bib = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!bib)
        throw EDatabaseError(
            QStringLiteral("Le catalogue est sur un serveur PostgreSQL, mais la bibliothèque PostgreSQL (libpq) n'est "
                           "pas installée sur ce poste (paquet libpq5)."));
    TLibpq f{};
#define KESTRAVEL_PQ(champ, nom) Charger(bib, f.champ, #nom)
    KESTRAVEL_PQ(connectdb, PQconnectdb);
    KESTRAVEL_PQ(connectdbParams, PQconnectdbParams);
    KESTRAVEL_PQ(status, PQstatus);
    KESTRAVEL_PQ(errorMessage, PQerrorMessage);
    KESTRAVEL_PQ(finish, PQfinish);
    KESTRAVEL_PQ(execParams, PQexecParams);
    KESTRAVEL_PQ(resultStatus, PQresultStatus);
    KESTRAVEL_PQ(resultErrorMessage, PQresultErrorMessage);
    KESTRAVEL_PQ(resultErrorField, PQresultErrorField);
    KESTRAVEL_PQ(clear, PQclear);
    KESTRAVEL_PQ(ntuples, PQntuples);
    KESTRAVEL_PQ(nfields, PQnfields);
    KESTRAVEL_PQ(getvalue, PQgetvalue);
    KESTRAVEL_PQ(getisnull, PQgetisnull);
    KESTRAVEL_PQ(getlength, PQgetlength);
    KESTRAVEL_PQ(cmdTuples, PQcmdTuples);
    KESTRAVEL_PQ(putCopyData, PQputCopyData);
    KESTRAVEL_PQ(putCopyEnd, PQputCopyEnd);
    KESTRAVEL_PQ(getCopyData, PQgetCopyData);
    KESTRAVEL_PQ(getResult, PQgetResult);
    KESTRAVEL_PQ(freemem, PQfreemem);
    KESTRAVEL_PQ(conninfoParse, PQconninfoParse);
    KESTRAVEL_PQ(conninfoFree, PQconninfoFree);
    KESTRAVEL_PQ(backendPID, PQbackendPID);
    KESTRAVEL_PQ(setNoticeProcessor, PQsetNoticeProcessor);
    KESTRAVEL_PQ(exec, PQexec);
    KESTRAVEL_PQ(transactionStatus, PQtransactionStatus);
    KESTRAVEL_PQ(ftype, PQftype);
    KESTRAVEL_PQ(getCancel, PQgetCancel);
    KESTRAVEL_PQ(cancel, PQcancel);
    KESTRAVEL_PQ(freeCancel, PQfreeCancel);
    KESTRAVEL_PQ(socket, PQsocket);
    KESTRAVEL_PQ(consumeInput, PQconsumeInput);
    KESTRAVEL_PQ(notifies, PQnotifies);
#undef KESTRAVEL_PQ
    return f;
}

// The server's notices (an index that already exists…) are not for users.
void Silence(void*, const char*) {}

}  // namespace

// libpq and the C library speak the workstation's language and the server
// its own: each case is known by its words in English and in French.
QString RaisonServeur(const char* texte)
{
    const QString detail = QString::fromUtf8(texte).trimmed();
    // Words that must all be in the text: one set per language.
    using TIndices = std::initializer_list<const char*>;
    struct TCas {
        std::initializer_list<TIndices> indices;
        const char* phrase;
    };
    static const TCas cas[] = {
        {{{"No such file or directory"},
          {"Aucun fichier ou dossier de ce type"},
          {"Connection refused"},
          {"Connexion refusée"}},
         "le serveur ne répond pas (arrêté, ou adresse erronée)"},
        {{{"could not translate host name"}, {"n'a pas pu traduire le nom d'hôte"}}, "le nom du serveur est inconnu"},
        {{{"timeout expired"}, {"le délai est dépassé"}}, "le serveur ne répond pas dans le délai"},
        {{{"password authentication failed"}, {"authentification par mot de passe échouée"}},
         "l'identifiant ou le mot de passe est refusé"},
        {{{"no password supplied"}}, "aucun mot de passe n'est fourni (fichier de mots de passe de PostgreSQL)"},
        {{{"no pg_hba.conf entry"}, {"aucune entrée dans pg_hba.conf"}}, "ce poste n'est pas autorisé à se connecter"},
        {{{"role", "does not exist"}, {"le rôle", "n'existe pas"}}, "l'identifiant est inconnu du serveur"},
        {{{"database", "does not exist"}, {"la base de données", "n'existe pas"}},
         "la base n'existe pas sur ce serveur"},
        {{{"terminating connection"}, {"arrêt des connexions"}, {"arrêt de la connexion"}},
         "la connexion au serveur a été coupée"},
        {{{"server closed the connection"}, {"la connexion au serveur a été coupée"}},
         "la connexion au serveur a été coupée"},
        {{{"no connection to the server"}, {"aucune connexion au serveur"}}, "la connexion au serveur a été coupée"},
        {{{"permission denied"}, {"droit refusé"}}, "les droits de l'identifiant ne le permettent pas"},
        {{{"lock timeout"}, {"délai écoulé pour l'obtention des verrous"}},
         "un autre poste tient ces lignes depuis plus de 10 secondes ; rien n'a été fait, réessayez dans un instant"},
    };
    for (const TCas& c : cas)
        for (const TIndices& mots : c.indices)
            if (std::all_of(mots.begin(), mots.end(), [&detail](const char* mot) {
                    return detail.contains(QString::fromUtf8(mot), Qt::CaseInsensitive);
                }))
                return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(c.phrase), detail);
    return detail;
}

const TLibpq& Libpq()
{
    static const TLibpq f = ChargerLibpq();
    return f;
}

namespace {
// What the connection string says of where the server is and how it is
// checked; libpq's own defaults from the environment fill what it leaves out.
struct TOptionsConnexion {
    QString hote, adresse, port, base, modeTls, motDePasse;
};

std::optional<TOptionsConnexion> LireOptions(const QString& connexion)
{
    char* erreur = nullptr;
    PQconninfoOption* options = Libpq().conninfoParse(connexion.toUtf8().constData(), &erreur);
    if (!options) {
        // Its text may quote the string, password included: never shown.
        Libpq().freemem(erreur);
        return std::nullopt;
    }
    TOptionsConnexion o;
    const std::pair<const char*, QString*> champs[] = {{"host", &o.hote},          {"hostaddr", &o.adresse},
                                                       {"port", &o.port},          {"dbname", &o.base},
                                                       {"sslmode", &o.modeTls},    {"password", &o.motDePasse}};
    for (PQconninfoOption* opt = options; opt->keyword; ++opt)
        for (const auto& [cle, valeur] : champs)
            if (opt->val && qstrcmp(opt->keyword, cle) == 0)
                *valeur = QString::fromUtf8(opt->val);
    Libpq().conninfoFree(options);
    const std::pair<const char*, QString*> environnement[] = {
        {"PGHOST", &o.hote},
        {"PGHOSTADDR", &o.adresse},
        {"PGPORT", &o.port},
        {"PGSSLMODE", &o.modeTls},
        {"PGDATABASE", &o.base}};
    for (const auto& [variable, valeur] : environnement)
        if (valeur->isEmpty())
            *valeur = qEnvironmentVariable(variable);
    return o;
}

QString Nom(const TOptionsConnexion& o) { return NomServeur(o.hote.isEmpty() ? o.adresse : o.hote, o.port, o.base); }

// Reached over the network (a host that is not a socket folder, or an
// address) without checking the server's certificate.
bool SansVerification(const TOptionsConnexion& o)
{
    bool reseau = !o.adresse.isEmpty();
    for (const QString& h : o.hote.split(',', Qt::SkipEmptyParts))
        reseau = reseau || !(h.startsWith('/') || h.startsWith('@'));
    return reseau && o.modeTls != "verify-full" && o.modeTls != "verify-ca";
}

QString& Avertissement()
{
    static QString texte;
    return texte;
}
std::mutex verrouAvertissement;

void Avertir(const QString& nom)
{
    std::lock_guard<std::mutex> verrou(verrouAvertissement);
    if (!Avertissement().isEmpty())
        return;
    Avertissement() = QStringLiteral(
                          "Attention : le serveur du catalogue « %1 » est joint par le réseau sans vérification de son "
                          "certificat. Un autre ordinateur pourrait se faire passer pour lui et recevoir les "
                          "identifiants : ajoutez sslmode=verify-full et sslrootcert à la connexion (Kestravel.conf).")
                          .arg(nom);
    std::fprintf(stderr, "%s\n", Avertissement().toLocal8Bit().constData());
}
}  // namespace

QString AvertissementConnexion()
{
    std::lock_guard<std::mutex> verrou(verrouAvertissement);
    return Avertissement();
}

QString BaseServeur(const QString& connexion)
{
    const std::optional<TOptionsConnexion> o = LireOptions(connexion);
    return o ? o->base : QString();
}

QString NomServeur(QString hote, const QString& port, const QString& base)
{
    if (hote.isEmpty())
        hote = QStringLiteral("serveur local");
    QString nom = port.isEmpty() ? hote : hote + ':' + port;
    if (!base.isEmpty())
        nom += QStringLiteral(", base ") + base;
    return nom;
}

QString NomServeur(const QString& connexion)
{
    const std::optional<TOptionsConnexion> o = LireOptions(connexion);
    return o ? Nom(*o) : QStringLiteral("chaîne de connexion illisible");
}

void AjouterChampCopie(QByteArray& tampon, QByteArrayView texte)
{
    if (texte.isNull()) {
        tampon += "\\N";
        return;
    }
    // Most values (numbers, plain texts) have nothing to escape: copied whole.
    const auto special = [](char ch) { return ch == '\\' || ch == '\t' || ch == '\n' || ch == '\r'; };
    if (std::none_of(texte.begin(), texte.end(), special)) {
        tampon += texte;
        return;
    }
    for (const char ch : texte) {
        switch (ch) {
            case '\\':
                tampon += "\\\\";
                break;
            case '\t':
                tampon += "\\t";
                break;
            case '\n':
                tampon += "\\n";
                break;
            case '\r':
                tampon += "\\r";
                break;
            default:
                tampon += ch;
        }
    }
}

namespace {
bool Lettre(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool Chiffre(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void Illisible(QByteArrayView sql, const char* raison)
{
    throw EDatabaseError(QStringLiteral("Instruction illisible pour le serveur (%1) : %2")
                             .arg(QString::fromUtf8(raison), QString::fromUtf8(sql.first(std::min<qsizetype>(sql.size(), 200)))));
}

// The end (index of its last character) of the piece of SQL that starts at
// `i` and is copied as it stands: a literal, an escaped literal, a comment,
// a `$tag$` body; -1 when none starts there.
qsizetype FinCopieTelle(QByteArrayView sql, qsizetype i)
{
    const char c = sql[i];
    const auto suivant = [&](qsizetype k) { return k < sql.size() ? sql[k] : '\0'; };
    if (c == '\'' || ((c == 'E' || c == 'e') && suivant(i + 1) == '\''
                      && (i == 0 || !(Lettre(sql[i - 1]) || Chiffre(sql[i - 1]) || sql[i - 1] == '$')))) {
        const bool echappe = c != '\'';
        for (qsizetype k = echappe ? i + 2 : i + 1; k < sql.size(); ++k) {
            if (echappe && sql[k] == '\\')
                ++k;
            else if (sql[k] == '\'' && suivant(k + 1) == '\'')
                ++k;
            else if (sql[k] == '\'')
                return k;
        }
        Illisible(sql, "littéral non fermé");
    }
    if (c == '-' && suivant(i + 1) == '-') {
        const qsizetype fin = sql.indexOf('\n', i);
        return fin < 0 ? sql.size() - 1 : fin;
    }
    if (c == '/' && suivant(i + 1) == '*') {
        // Comments nest on the server.
        int profondeur = 0;
        for (qsizetype k = i; k + 1 < sql.size(); ++k) {
            if (sql[k] == '/' && sql[k + 1] == '*') {
                ++profondeur;
                ++k;
            } else if (sql[k] == '*' && sql[k + 1] == '/') {
                ++k;
                if (--profondeur == 0)
                    return k;
            }
        }
        Illisible(sql, "commentaire non fermé");
    }
    if (c == '$' && (i == 0 || !(Lettre(sql[i - 1]) || Chiffre(sql[i - 1])))) {
        qsizetype k = i + 1;
        if (k < sql.size() && Chiffre(sql[k]))
            return -1;  // a parameter of the server's own form
        while (k < sql.size() && (Lettre(sql[k]) || (k > i + 1 && Chiffre(sql[k]))))
            ++k;
        if (k >= sql.size() || sql[k] != '$')
            return -1;
        const QByteArrayView etiquette = sql.sliced(i, k - i + 1);
        const qsizetype fin = sql.indexOf(etiquette, k + 1);
        if (fin < 0)
            Illisible(sql, "corps $$ non fermé");
        return fin + etiquette.size() - 1;
    }
    return -1;
}
}  // namespace

std::pair<QByteArray, int> TraduireSqlPg(QByteArrayView sql, QHash<QByteArray, int>* noms)
{
    QByteArray r;
    r.reserve(sql.size() + 16);
    int n = 0;
    bool positions = false, nommes = false;
    int dollars = 0;  // highest $n written in the server's own form
    int crochets = 0;  // inside [ ], a colon separates an array slice's bounds
    QHash<QByteArray, int> locaux;
    QHash<QByteArray, int>& parNom = noms ? *noms : locaux;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        const char suivant = i + 1 < sql.size() ? sql[i + 1] : '\0';
        if (const qsizetype fin = FinCopieTelle(sql, i); fin >= 0) {
            r += sql.sliced(i, fin - i + 1);
            i = fin;
        } else if (c == '"') {
            const qsizetype fin = sql.indexOf('"', i + 1);
            if (fin < 0)
                Illisible(sql, "nom entre guillemets non fermé");
            r += sql.sliced(i, fin - i + 1).toByteArray().toLower();
            i = fin;
        } else if (c == '$' && Chiffre(suivant)) {
            qsizetype j = i + 1;
            while (j < sql.size() && Chiffre(sql[j]))
                ++j;
            dollars = std::max(dollars, sql.sliced(i + 1, j - i - 1).toInt());
            r += sql.sliced(i, j - i);
            i = j - 1;
        } else if (c == '[' || c == ']') {
            crochets += c == '[' ? 1 : -1;
            r += c;
        } else if (c == ':' && suivant == ':') {
            r += "::";
            ++i;
        } else if (c == '?') {
            if (Chiffre(suivant) || suivant == '|' || suivant == '&')
                Illisible(sql, "« ? » suivi d'un chiffre ou d'un opérateur");
            positions = true;
            r += '$' + QByteArray::number(++n);
        } else if (c == ':' && Lettre(suivant) && crochets == 0) {
            qsizetype j = i + 1;
            while (j < sql.size() && (Lettre(sql[j]) || Chiffre(sql[j])))
                ++j;
            if (j < sql.size() && uchar(sql[j]) >= 0x80)
                Illisible(sql, "nom de paramètre non ASCII");
            nommes = true;
            const QByteArray nom = sql.sliced(i, j - i).toByteArray();
            int& position = parNom[nom];
            if (position == 0)
                position = ++n;
            r += '$' + QByteArray::number(position);
            i = j - 1;
        } else {
            r += c;
        }
    }
    if (int(positions) + int(nommes) + int(dollars > 0) > 1)
        Illisible(sql, "paramètres de formes différentes mêlés");
    return {r, dollars > 0 ? dollars : n};
}

// ---- results -------------------------------------------------------------

TResultatPg::~TResultatPg()
{
    if (m_r)
        m_pq->clear(m_r);
}

TResultatPg& TResultatPg::operator=(TResultatPg&& autre) noexcept
{
    if (this != &autre) {
        if (m_r)
            m_pq->clear(m_r);
        m_pq = autre.m_pq;
        m_r = autre.m_r;
        autre.m_r = nullptr;
    }
    return *this;
}

int TResultatPg::Lignes() const { return m_r ? m_pq->ntuples(m_r) : 0; }
int TResultatPg::Colonnes() const { return m_r ? m_pq->nfields(m_r) : 0; }
bool TResultatPg::Nul(int ligne, int colonne) const { return m_pq->getisnull(m_r, ligne, colonne) != 0; }

QString TResultatPg::Texte(int ligne, int colonne) const
{
    return QString::fromUtf8(m_pq->getvalue(m_r, ligne, colonne), m_pq->getlength(m_r, ligne, colonne));
}

qint64 TResultatPg::LignesTouchees() const { return m_r ? QByteArray(m_pq->cmdTuples(m_r)).toLongLong() : 0; }

// ---- connection ------------------------------------------------------------

namespace {
// What the module's SQL relies on, set on every connection over whatever
// the environment (PGCLIENTENCODING, PGOPTIONS), the connection string's
// `options` or the login's own defaults chose.
const char* const Session =
    "SET client_encoding = 'UTF8'; SET standard_conforming_strings = on; SET search_path = public;"
    " SET lock_timeout = '10s'; SET extra_float_digits = 1; SET bytea_output = 'hex'; SET DateStyle = 'ISO, YMD';"
    " SET default_transaction_isolation = 'read committed'; SET row_security = on";
}  // namespace

TConnexionPg::TConnexionPg(const QString& connexion)
{
    m_c = ConnecterLocal(connexion, m_nom);
    if (m_c)
        m_pq = &LibpqLocal();
    else
        ConnecterLibpq(connexion);
    const TLibpq& pq = *m_pq;
    pq.setNoticeProcessor(m_c, Silence, nullptr);
    m_annulation = pq.getCancel(m_c);
    const TResultatPg r(pq, pq.exec(m_c, Session));
    if (!r.Handle() || pq.resultStatus(r.Handle()) != PGRES_COMMAND_OK)
        Echec(QStringLiteral("la préparation de la session"), r.Handle() ? pq.resultErrorMessage(r.Handle()) : nullptr);
}

void TConnexionPg::ConnecterLibpq(const QString& connexion)
{
    const std::optional<TOptionsConnexion> options = LireOptions(connexion);
    if (!options)
        throw EDatabaseError(QStringLiteral(
            "La chaîne de connexion au serveur du catalogue est illisible (option inconnue, guillemet non fermé ou "
            "caractère % mal codé) : corrigez la clé Serveur de Kestravel.conf. Elle n'est pas reproduite ici, car "
            "elle peut contenir un mot de passe."));
    m_nom = ::Nom(*options);
    if (SansVerification(*options))
        Avertir(m_nom);
    const TLibpq& pq = Libpq();
    m_pq = &pq;
    // The waits come first, so that the string may shorten them; the
    // encoding comes after it, so that nothing overrides it.
    const QByteArray texte = connexion.toUtf8();
    const char* const cles[] = {"connect_timeout", "keepalives_idle", "keepalives_interval", "keepalives_count",
                                "dbname",          "client_encoding", nullptr};
    const char* const valeurs[] = {"10", "30", "10", "3", texte.constData(), "UTF8", nullptr};
    m_c = pq.connectdbParams(cles, valeurs, 1);
    if (!m_c || pq.status(m_c) != CONNECTION_OK) {
        QString raison = m_c ? RaisonServeur(pq.errorMessage(m_c)) : QStringLiteral("mémoire insuffisante");
        if (!options->motDePasse.isEmpty())
            raison.replace(options->motDePasse, QStringLiteral("***"));
        if (m_c)
            pq.finish(m_c);
        m_c = nullptr;
        throw EDatabaseError(
            QStringLiteral("Connexion impossible au serveur du catalogue « %1 » : %2").arg(m_nom, raison));
    }
}

TConnexionPg::~TConnexionPg()
{
    if (m_annulation)
        m_pq->freeCancel(m_annulation);
    if (m_c)
        m_pq->finish(m_c);
}

void TConnexionPg::CompterModifications(PGresult* resultat)
{
    const char* touchees = m_pq->cmdTuples(resultat);
    if (touchees && *touchees) {
        lignesModifiees = QByteArray(touchees).toLongLong();
        modifications += lignesModifiees;
    }
}

void TConnexionPg::Annuler() const
{
    char erreur[256];
    if (m_annulation)
        m_pq->cancel(m_annulation, erreur, int(sizeof erreur));
}

QString TConnexionPg::Message(const QString& quoi, const char* raison) const
{
    const QString detail = RaisonServeur(raison ? raison : m_pq->errorMessage(m_c));
    return QStringLiteral("Le serveur du catalogue « %1 » a refusé %2 : %3").arg(m_nom, quoi, detail);
}

void TConnexionPg::Echec(const QString& quoi, const char* raison) const { throw EDatabaseError(Message(quoi, raison)); }

TResultatPg TConnexionPg::Executer(const QString& sql, const QVariantList& valeurs)
{
    return Envoyer(TraduireSqlPg(QByteArrayView(sql.toUtf8())).first, valeurs);
}

TResultatPg TConnexionPg::ExecuterTelQuel(const QString& sql, const QVariantList& valeurs)
{
    return Envoyer(sql.toUtf8(), valeurs);
}

TResultatPg TConnexionPg::Envoyer(const QByteArray& sql, const QVariantList& valeurs)
{
    AvantInstruction();
    const TLibpq& pq = *m_pq;
    std::vector<QByteArray> textes;
    std::vector<const char*> pointeurs;
    textes.reserve(size_t(valeurs.size()));
    for (const QVariant& v : valeurs) {
        if (v.isNull()) {
            pointeurs.push_back(nullptr);
            continue;
        }
        textes.push_back(v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 17)
                                                         : v.toString().toUtf8());
        pointeurs.push_back(textes.back().constData());
    }
    TResultatPg r(pq, pq.execParams(m_c, sql.constData(), int(pointeurs.size()), nullptr, pointeurs.data(),
                                    nullptr, nullptr, 0));
    const ExecStatusType etat = r.Handle() ? pq.resultStatus(r.Handle()) : PGRES_FATAL_ERROR;
    if (etat != PGRES_COMMAND_OK && etat != PGRES_TUPLES_OK && etat != PGRES_COPY_IN)
        Echec(QStringLiteral("une instruction"), r.Handle() ? pq.resultErrorMessage(r.Handle()) : nullptr);
    return r;
}

void TConnexionPg::EnvoyerCopie(const QByteArray& lignes)
{
    if (m_pq->putCopyData(m_c, lignes.constData(), int(lignes.size())) != 1)
        Echec(QStringLiteral("le chargement des lignes"));
}

void TConnexionPg::TerminerCopie()
{
    const TLibpq& pq = *m_pq;
    if (pq.putCopyEnd(m_c, nullptr) != 1)
        Echec(QStringLiteral("le chargement des lignes"));
    // The outcome of the copy, then the end of the exchange.
    TResultatPg fin(pq, pq.getResult(m_c));
    const bool ok = fin.Handle() && pq.resultStatus(fin.Handle()) == PGRES_COMMAND_OK;
    const QByteArray raison = ok ? QByteArray() : QByteArray(fin.Handle() ? pq.resultErrorMessage(fin.Handle()) : "");
    const QByteArray etat =
        ok || !fin.Handle() ? QByteArray() : QByteArray(pq.resultErrorField(fin.Handle(), PG_DIAG_SQLSTATE));
    while (PGresult* reste = pq.getResult(m_c))
        pq.clear(reste);
    // A row the table's rules refuse (a key already there, a value out of
    // bounds) is told as the file tells it, the server's reason as detail.
    if (etat.startsWith("23") || etat.startsWith("22"))
        throw EDatabaseError(
            ComposerMessage({}, PhraseCatalogue(TCauseEchec::Doublon), RaisonServeur(raison.constData())));
    if (!ok)
        Echec(QStringLiteral("le chargement des lignes"), raison.isEmpty() ? nullptr : raison.constData());
}
