#include "core/store/libpq.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <dlfcn.h>
#include <QHash>
#include <QStringList>
#include <algorithm>
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

QString NomServeur(const QString& connexion)
{
    char* erreur = nullptr;
    PQconninfoOption* options = Libpq().conninfoParse(connexion.toUtf8().constData(), &erreur);
    if (!options) {
        Libpq().freemem(erreur);
        return connexion.section('?', 0, 0).section('@', -1);
    }
    QString hote, port, base;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        const QString cle = QString::fromLatin1(o->keyword);
        const QString valeur = o->val ? QString::fromUtf8(o->val) : QString();
        if (cle == "host" || (cle == "hostaddr" && hote.isEmpty()))
            hote = valeur;
        else if (cle == "port")
            port = valeur;
        else if (cle == "dbname")
            base = valeur;
    }
    Libpq().conninfoFree(options);
    if (hote.isEmpty())
        hote = QStringLiteral("serveur local");
    QString nom = port.isEmpty() ? hote : hote + ':' + port;
    if (!base.isEmpty())
        nom += QStringLiteral(", base ") + base;
    return nom;
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
}  // namespace

std::pair<QByteArray, int> TraduireSqlPg(QByteArrayView sql, QHash<QByteArray, int>* noms)
{
    QByteArray r;
    r.reserve(sql.size() + 16);
    int n = 0;
    QHash<QByteArray, int> locaux;
    QHash<QByteArray, int>& positions = noms ? *noms : locaux;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'') {
            // A literal, copied as it stands ('' is a quote inside it).
            const qsizetype fin = sql.indexOf('\'', i + 1);
            const qsizetype j = fin < 0 ? sql.size() - 1 : fin;
            r += sql.sliced(i, j - i + 1);
            i = j;
        } else if (c == '"') {
            const qsizetype fin = sql.indexOf('"', i + 1);
            const qsizetype j = fin < 0 ? sql.size() - 1 : fin;
            r += sql.sliced(i, j - i + 1).toByteArray().toLower();
            i = j;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const qsizetype fin = sql.indexOf('\n', i);
            const qsizetype j = fin < 0 ? sql.size() - 1 : fin;
            r += sql.sliced(i, j - i + 1);
            i = j;
        } else if (c == '?') {
            r += '$' + QByteArray::number(++n);
        } else if (c == ':' && i + 1 < sql.size() && Lettre(sql[i + 1]) && (i == 0 || sql[i - 1] != ':')) {
            qsizetype j = i + 1;
            while (j < sql.size() && (Lettre(sql[j]) || Chiffre(sql[j])))
                ++j;
            const QByteArray nom = sql.sliced(i, j - i).toByteArray();
            int& position = positions[nom];
            if (position == 0)
                position = ++n;
            r += '$' + QByteArray::number(position);
            i = j - 1;
        } else {
            r += c;
        }
    }
    return {r, n};
}

// ---- results -------------------------------------------------------------

TResultatPg::~TResultatPg()
{
    if (m_r)
        Libpq().clear(m_r);
}

TResultatPg& TResultatPg::operator=(TResultatPg&& autre) noexcept
{
    if (this != &autre) {
        if (m_r)
            Libpq().clear(m_r);
        m_r = autre.m_r;
        autre.m_r = nullptr;
    }
    return *this;
}

int TResultatPg::Lignes() const { return m_r ? Libpq().ntuples(m_r) : 0; }
int TResultatPg::Colonnes() const { return m_r ? Libpq().nfields(m_r) : 0; }
bool TResultatPg::Nul(int ligne, int colonne) const { return Libpq().getisnull(m_r, ligne, colonne) != 0; }

QString TResultatPg::Texte(int ligne, int colonne) const
{
    return QString::fromUtf8(Libpq().getvalue(m_r, ligne, colonne), Libpq().getlength(m_r, ligne, colonne));
}

qint64 TResultatPg::LignesTouchees() const { return m_r ? QByteArray(Libpq().cmdTuples(m_r)).toLongLong() : 0; }

// ---- connection ------------------------------------------------------------

TConnexionPg::TConnexionPg(const QString& connexion) : m_nom(NomServeur(connexion))
{
    const TLibpq& pq = Libpq();
    m_c = pq.connectdb(connexion.toUtf8().constData());
    if (!m_c || pq.status(m_c) != CONNECTION_OK) {
        const QString raison = m_c ? RaisonServeur(pq.errorMessage(m_c)) : QStringLiteral("mémoire insuffisante");
        if (m_c)
            pq.finish(m_c);
        m_c = nullptr;
        throw EDatabaseError(
            QStringLiteral("Connexion impossible au serveur du catalogue « %1 » : %2").arg(m_nom, raison));
    }
    pq.setNoticeProcessor(m_c, Silence, nullptr);
    m_annulation = pq.getCancel(m_c);
}

TConnexionPg::~TConnexionPg()
{
    if (m_annulation)
        Libpq().freeCancel(m_annulation);
    if (m_c)
        Libpq().finish(m_c);
}

void TConnexionPg::CompterModifications(PGresult* resultat)
{
    const char* touchees = Libpq().cmdTuples(resultat);
    if (touchees && *touchees) {
        lignesModifiees = QByteArray(touchees).toLongLong();
        modifications += lignesModifiees;
    }
}

void TConnexionPg::Annuler() const
{
    char erreur[256];
    if (m_annulation)
        Libpq().cancel(m_annulation, erreur, int(sizeof erreur));
}

QString TConnexionPg::Message(const QString& quoi, const char* raison) const
{
    const QString detail = RaisonServeur(raison ? raison : Libpq().errorMessage(m_c));
    return QStringLiteral("Le serveur du catalogue « %1 » a refusé %2 : %3").arg(m_nom, quoi, detail);
}

void TConnexionPg::Echec(const QString& quoi, const char* raison) const { throw EDatabaseError(Message(quoi, raison)); }

TResultatPg TConnexionPg::Executer(const QString& sql, const QVariantList& valeurs)
{
    AvantInstruction();
    const TLibpq& pq = Libpq();
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
    TResultatPg r(pq.execParams(m_c, TraduireSqlPg(QByteArrayView(sql.toUtf8())).first.constData(),
                                int(pointeurs.size()), nullptr, pointeurs.data(), nullptr, nullptr, 0));
    const ExecStatusType etat = r.Handle() ? pq.resultStatus(r.Handle()) : PGRES_FATAL_ERROR;
    if (etat != PGRES_COMMAND_OK && etat != PGRES_TUPLES_OK && etat != PGRES_COPY_IN)
        Echec(QStringLiteral("une instruction"), r.Handle() ? pq.resultErrorMessage(r.Handle()) : nullptr);
    return r;
}

void TConnexionPg::EnvoyerCopie(const QByteArray& lignes)
{
    if (Libpq().putCopyData(m_c, lignes.constData(), int(lignes.size())) != 1)
        Echec(QStringLiteral("le chargement des lignes"));
}

void TConnexionPg::TerminerCopie()
{
    const TLibpq& pq = Libpq();
    if (pq.putCopyEnd(m_c, nullptr) != 1)
        Echec(QStringLiteral("le chargement des lignes"));
    // The outcome of the copy, then the end of the exchange.
    TResultatPg fin(pq.getResult(m_c));
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
