#include "core/store/pglocal.h"

#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QtEndian>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

// The protocol (version 3): every message is a type byte and a 32-bit
// big-endian length that counts itself, then its fields.

namespace {
std::atomic<bool> permis{false};

// The server's answer to one exchange. Values are kept NUL-terminated in one
// buffer, as libpq gives them.
struct TResultatLocal {
    ExecStatusType etat = PGRES_COMMAND_OK;
    std::vector<Oid> types;
    std::vector<int> debuts, longueurs;  // per value, row after row; -1: null
    QByteArray valeurs;
    QByteArray touchees, message;
    QHash<char, QByteArray> champs;  // of an error
    int lignes = 0;
};

struct TConnexionLocale {
    int socket = -1;
    ConnStatusType etat = CONNECTION_BAD;
    PGTransactionStatusType transaction = PQTRANS_IDLE;
    int pid = 0;
    QByteArray erreur;
    // Bytes received; those before `traites` are messages already read.
    QByteArray lu;
    qsizetype traites = 0;
};

TConnexionLocale* C(const PGconn* c) { return reinterpret_cast<TConnexionLocale*>(const_cast<PGconn*>(c)); }
TResultatLocal* R(const PGresult* r) { return reinterpret_cast<TResultatLocal*>(const_cast<PGresult*>(r)); }
PGresult* Publier(TResultatLocal* r) { return reinterpret_cast<PGresult*>(r); }
// libpq's texts are never null pointers: "" when there is none.
char* Texte(QByteArray& t) { return t.isNull() ? const_cast<char*>("") : t.data(); }

// ---- what the connection string says --------------------------------------

struct TCible {
    QByteArray dossier, port, base, utilisateur;
    QString nom;  // as messages name the server (NomServeur)
};

// `cle=valeur` pairs, values possibly quoted ('…', with \' and \\); nullopt
// for anything libpq should read (a URI, a key not listed, an odd quote).
std::optional<TCible> LireCible(const QString& connexion)
{
    const QByteArray t = connexion.toUtf8();
    TCible c;
    qsizetype i = 0;
    const auto blancs = [&] {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r'))
            ++i;
    };
    while (true) {
        blancs();
        if (i >= t.size())
            break;
        const qsizetype debut = i;
        while (i < t.size() && t[i] != '=' && t[i] != ' ')
            ++i;
        const QByteArray cle = t.mid(debut, i - debut);
        blancs();
        if (i >= t.size() || t[i] != '=')
            return std::nullopt;
        ++i;
        blancs();
        QByteArray valeur;
        if (i < t.size() && t[i] == '\'') {
            for (++i;; ++i) {
                if (i >= t.size())
                    return std::nullopt;
                if (t[i] == '\\' && i + 1 < t.size())
                    valeur += t[++i];
                else if (t[i] == '\'')
                    break;
                else
                    valeur += t[i];
            }
            ++i;
        } else {
            while (i < t.size() && t[i] != ' ' && t[i] != '\t' && t[i] != '\n' && t[i] != '\r') {
                if (t[i] == '\\' || t[i] == '\'')
                    return std::nullopt;
                valeur += t[i++];
            }
        }
        if (cle == "host")
            c.dossier = valeur;
        else if (cle == "port")
            c.port = valeur;
        else if (cle == "dbname")
            c.base = valeur;
        else if (cle == "user")
            c.utilisateur = valeur;
        else
            return std::nullopt;
    }
    c.nom = NomServeur(QString::fromUtf8(c.dossier), QString::fromUtf8(c.port), QString::fromUtf8(c.base));
    if (c.port.isEmpty())
        c.port = "5432";
    // A socket folder named alone; a port in figures.
    bool chiffres = true;
    for (const char ch : c.port)
        chiffres = chiffres && ch >= '0' && ch <= '9';
    if (!c.dossier.startsWith('/') || c.dossier.contains(',') || !chiffres)
        return std::nullopt;
    if (c.utilisateur.isEmpty()) {
        const passwd* p = getpwuid(geteuid());
        if (!p)
            return std::nullopt;
        c.utilisateur = p->pw_name;
    }
    if (c.base.isEmpty())
        c.base = c.utilisateur;
    return c;
}

// libpq reads PGHOST, PGPASSWORD, PGOPTIONS, PGSSLMODE…: with any of them
// set, the result could differ from libpq's.
bool EnvironnementPg()
{
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "PG", 2) == 0)
            return true;
    return false;
}

// ---- messages ---------------------------------------------------------------

void Entier32(QByteArray& m, qint32 v)
{
    char o[4];
    qToBigEndian(v, o);
    m.append(o, 4);
}
void Entier16(QByteArray& m, qint16 v)
{
    char o[2];
    qToBigEndian(v, o);
    m.append(o, 2);
}
// A message with its type byte and its length.
QByteArray Message(char type, const QByteArray& corps)
{
    QByteArray m;
    m.reserve(corps.size() + 5);
    m += type;
    Entier32(m, qint32(corps.size() + 4));
    return m + corps;
}

void Couper(TConnexionLocale* c, const char* raison)
{
    if (c->socket >= 0)
        ::close(c->socket);
    c->socket = -1;
    c->etat = CONNECTION_BAD;
    c->transaction = PQTRANS_UNKNOWN;
    c->erreur = raison;
    c->lu.clear();
    c->traites = 0;
}

bool Envoyer(TConnexionLocale* c, const QByteArray& m)
{
    for (qsizetype fait = 0; fait < m.size();) {
        const ssize_t n = ::send(c->socket, m.constData() + fait, size_t(m.size() - fait), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Couper(c, "server closed the connection unexpectedly\n");
            return false;
        }
        fait += n;
    }
    return true;
}

// The next message of the server: its type and body; false when the
// connection is gone (or, with a wait, when the server stays silent).
bool Recevoir(TConnexionLocale* c, char& type, QByteArray& corps, int attenteMs = -1)
{
    while (true) {
        const qsizetype reste = c->lu.size() - c->traites;
        if (reste >= 5) {
            const char* message = c->lu.constData() + c->traites;
            const qint32 longueur = qFromBigEndian<qint32>(message + 1);
            if (longueur < 4) {
                Couper(c, "invalid message from the server\n");
                return false;
            }
            if (reste >= 1 + longueur) {
                type = message[0];
                corps = QByteArray(message + 5, longueur - 4);
                c->traites += 1 + longueur;
                return true;
            }
        }
        if (c->socket < 0)
            return false;
        // The messages read leave the buffer at once, not one by one: a
        // result of thousands of rows is that many messages.
        c->lu.remove(0, c->traites);
        c->traites = 0;
        if (attenteMs >= 0) {
            pollfd p{c->socket, POLLIN, 0};
            const int n = ::poll(&p, 1, attenteMs);
            if (n == 0) {
                Couper(c, "timeout expired\n");
                return false;
            }
        }
        char tampon[65536];
        const ssize_t n = ::recv(c->socket, tampon, sizeof tampon, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Couper(c, "server closed the connection unexpectedly\n");
            return false;
        }
        c->lu.append(tampon, n);
    }
}

// An error's fields, and its text as libpq writes it.
void LireErreur(TResultatLocal& r, const QByteArray& corps)
{
    r.etat = PGRES_FATAL_ERROR;
    for (qsizetype i = 0; i < corps.size() && corps[i] != '\0';) {
        const char code = corps[i];
        const qsizetype fin = corps.indexOf('\0', i + 1);
        if (fin < 0)
            break;
        r.champs.insert(code, corps.mid(i + 1, fin - i - 1));
        i = fin + 1;
    }
    r.message = r.champs.value('S', "ERROR") + ":  " + r.champs.value('M') + '\n';
    if (r.champs.contains('D'))
        r.message += "DETAIL:  " + r.champs.value('D') + '\n';
    if (r.champs.contains('H'))
        r.message += "HINT:  " + r.champs.value('H') + '\n';
}

// A message shorter than its fields say ends the connection, as libpq does.
void LireColonnes(TConnexionLocale* c, TResultatLocal& r, const QByteArray& corps)
{
    r.etat = PGRES_TUPLES_OK;
    r.types.clear();
    const int n = corps.size() >= 2 ? qFromBigEndian<qint16>(corps.constData()) : -1;
    qsizetype i = 2;
    for (int k = 0; k < n; ++k) {
        i = corps.indexOf('\0', i) + 1;  // after the column's name
        if (i <= 0 || i + 18 > corps.size())
            break;
        r.types.push_back(qFromBigEndian<quint32>(corps.constData() + i + 6));
        i += 18;
    }
    if (n < 0 || r.types.size() != size_t(n))
        Couper(c, "invalid message from the server\n");
}

void LireLigne(TConnexionLocale* c, TResultatLocal& r, const QByteArray& corps)
{
    const int n = corps.size() >= 2 ? qFromBigEndian<qint16>(corps.constData()) : -1;
    if (n != int(r.types.size())) {
        Couper(c, "invalid message from the server\n");
        return;
    }
    qsizetype i = 2;
    for (int k = 0; k < n; ++k) {
        const qint32 longueur = i + 4 <= corps.size() ? qFromBigEndian<qint32>(corps.constData() + i) : -2;
        i += 4;
        if (longueur < -1 || i + std::max(longueur, 0) > corps.size()) {
            Couper(c, "invalid message from the server\n");
            return;
        }
        r.debuts.push_back(int(r.valeurs.size()));
        r.longueurs.push_back(longueur);
        if (longueur > 0) {
            r.valeurs.append(corps.constData() + i, longueur);
            i += longueur;
        }
        r.valeurs += '\0';
    }
    ++r.lignes;
}

void LireEtiquette(TResultatLocal& r, const QByteArray& corps)
{
    const QByteArray etiquette(corps.constData());
    // INSERT 0 3, UPDATE 3, DELETE 3, SELECT 3…: the last word, a count.
    const qsizetype espace = etiquette.lastIndexOf(' ');
    const QByteArray dernier = espace < 0 ? QByteArray() : etiquette.mid(espace + 1);
    bool nombre = false;
    dernier.toLongLong(&nombre);
    bool compte = false;
    for (const char* commande : {"INSERT ", "UPDATE ", "DELETE ", "SELECT ", "MERGE ", "MOVE ", "FETCH ", "COPY "})
        compte = compte || etiquette.startsWith(commande);
    r.touchees = nombre && compte ? dernier : QByteArray();
}

// The messages up to the server's "ready": the result of the last statement,
// or the first error.
PGresult* Conclure(TConnexionLocale* c)
{
    auto* r = new TResultatLocal;
    bool erreur = false, enCours = false;
    char type = 0;
    QByteArray corps;
    while (Recevoir(c, type, corps)) {
        switch (type) {
            case 'T':
                if (!erreur) {
                    *r = TResultatLocal();
                    LireColonnes(c, *r, corps);
                    enCours = true;
                }
                break;
            case 'D':
                if (!erreur)
                    LireLigne(c, *r, corps);
                break;
            case 'C':
                if (!erreur) {
                    if (!enCours)
                        *r = TResultatLocal();
                    LireEtiquette(*r, corps);
                    enCours = false;
                }
                break;
            case 'I':
                if (!erreur)
                    r->etat = PGRES_EMPTY_QUERY;
                break;
            case 'E':
                if (!erreur) {
                    *r = TResultatLocal();
                    LireErreur(*r, corps);
                    erreur = true;
                }
                break;
            case 'Z':
                c->transaction = corps.startsWith('T') ? PQTRANS_INTRANS
                    : corps.startsWith('E')            ? PQTRANS_INERROR
                                                       : PQTRANS_IDLE;
                return Publier(r);
            default:
                // Parse, bind, no data, notices, parameters: nothing to keep.
                break;
        }
    }
    // The connection is gone: after the server's own reason, when it gave one.
    if (!erreur)
        *r = TResultatLocal();
    r->etat = PGRES_FATAL_ERROR;
    r->message += c->erreur;
    return Publier(r);
}

PGresult* Echec(TConnexionLocale* c)
{
    auto* r = new TResultatLocal;
    r->etat = PGRES_FATAL_ERROR;
    r->message = c->erreur.isEmpty() ? QByteArray("no connection to the server\n") : c->erreur;
    return Publier(r);
}

// Sends the messages of one exchange and reads its answer.
PGresult* Echanger(TConnexionLocale* c, const QByteArray& messages)
{
    if (c->socket < 0 || !Envoyer(c, messages))
        return Echec(c);
    return Conclure(c);
}

// ---- the functions of the table --------------------------------------------

PGresult* Exec(PGconn* conn, const char* sql) { return Echanger(C(conn), Message('Q', QByteArray(sql) + '\0')); }

PGresult* ExecParams(PGconn* conn, const char* sql, int n, const Oid*, const char* const* valeurs, const int*,
                     const int*, int)
{
    QByteArray analyse("\0", 1);
    analyse += QByteArray(sql) + '\0';
    Entier16(analyse, 0);
    QByteArray liaison("\0\0", 2);
    Entier16(liaison, 0);  // every parameter in text
    Entier16(liaison, qint16(n));
    for (int i = 0; i < n; ++i) {
        if (!valeurs[i]) {
            Entier32(liaison, -1);
            continue;
        }
        const qsizetype l = qsizetype(std::strlen(valeurs[i]));
        Entier32(liaison, qint32(l));
        liaison.append(valeurs[i], l);
    }
    Entier16(liaison, 0);  // every column in text
    QByteArray execution("\0", 1);
    Entier32(execution, 0);
    return Echanger(C(conn),
                    Message('P', analyse) + Message('B', liaison) + Message('D', QByteArray("P\0", 2))
                        + Message('E', execution) + Message('S', {}));
}

ConnStatusType Status(const PGconn* c) { return C(c)->etat; }
char* ErrorMessage(const PGconn* c) { return Texte(C(c)->erreur); }
void Finish(PGconn* conn)
{
    TConnexionLocale* c = C(conn);
    if (c->socket >= 0)
        Envoyer(c, Message('X', {}));
    Couper(c, "");
    delete c;
}
PGTransactionStatusType TransactionStatus(const PGconn* c) { return C(c)->transaction; }
int BackendPID(const PGconn* c) { return C(c)->pid; }
PQnoticeProcessor SetNoticeProcessor(PGconn*, PQnoticeProcessor, void*) { return nullptr; }
PGcancel* GetCancel(PGconn*) { return nullptr; }

ExecStatusType ResultStatus(const PGresult* r) { return r ? R(r)->etat : PGRES_FATAL_ERROR; }
char* ResultErrorMessage(const PGresult* r) { return Texte(R(r)->message); }
char* ResultErrorField(const PGresult* r, int code)
{
    const auto it = R(r)->champs.find(char(code));
    return it == R(r)->champs.end() ? nullptr : it->data();
}
void Clear(PGresult* r) { delete R(r); }
int Ntuples(const PGresult* r) { return R(r)->lignes; }
int Nfields(const PGresult* r) { return int(R(r)->types.size()); }
Oid Ftype(const PGresult* r, int colonne) { return R(r)->types.at(size_t(colonne)); }
size_t Case(const PGresult* r, int ligne, int colonne) { return size_t(ligne) * R(r)->types.size() + size_t(colonne); }
char* Getvalue(const PGresult* r, int ligne, int colonne)
{
    return R(r)->valeurs.data() + R(r)->debuts.at(Case(r, ligne, colonne));
}
int Getisnull(const PGresult* r, int ligne, int colonne) { return R(r)->longueurs.at(Case(r, ligne, colonne)) < 0; }
int Getlength(const PGresult* r, int ligne, int colonne)
{
    return std::max(R(r)->longueurs.at(Case(r, ligne, colonne)), 0);
}
char* CmdTuples(PGresult* r) { return Texte(R(r)->touchees); }

const TLibpq& Table()
{
    static const TLibpq t = [] {
        TLibpq f{};
        f.status = Status;
        f.errorMessage = ErrorMessage;
        f.finish = Finish;
        f.execParams = ExecParams;
        f.exec = Exec;
        f.resultStatus = ResultStatus;
        f.resultErrorMessage = ResultErrorMessage;
        f.resultErrorField = ResultErrorField;
        f.clear = Clear;
        f.ntuples = Ntuples;
        f.nfields = Nfields;
        f.ftype = Ftype;
        f.getvalue = Getvalue;
        f.getisnull = Getisnull;
        f.getlength = Getlength;
        f.cmdTuples = CmdTuples;
        f.transactionStatus = TransactionStatus;
        f.backendPID = BackendPID;
        f.setNoticeProcessor = SetNoticeProcessor;
        f.getCancel = GetCancel;
        // Bulk loads, notifications and cancels are never asked of it: they
        // fail as on a lost connection.
        f.freeCancel = [](PGcancel*) {};
        f.cancel = [](PGcancel*, char*, int) { return 0; };
        f.socket = [](const PGconn*) { return -1; };
        f.consumeInput = [](PGconn*) { return 0; };
        f.notifies = [](PGconn*) -> PGnotify* { return nullptr; };
        f.freemem = [](void*) {};
        f.putCopyData = [](PGconn*, const char*, int) { return -1; };
        f.putCopyEnd = [](PGconn*, const char*) { return -1; };
        f.getCopyData = [](PGconn*, char**, int) { return -2; };
        f.getResult = [](PGconn*) -> PGresult* { return nullptr; };
        return f;
    }();
    return t;
}

// The start of a session: anything but the server letting the login in
// (a password asked, a refusal) closes it, for libpq to do.
bool Ouvrir(TConnexionLocale* c, const TCible& cible)
{
    const QByteArray chemin = cible.dossier + "/.s.PGSQL." + cible.port;
    sockaddr_un adresse{};
    adresse.sun_family = AF_UNIX;
    if (size_t(chemin.size()) >= sizeof adresse.sun_path)
        return false;
    std::memcpy(adresse.sun_path, chemin.constData(), size_t(chemin.size()));
    c->socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (c->socket < 0 || ::connect(c->socket, reinterpret_cast<const sockaddr*>(&adresse), sizeof adresse) != 0)
        return false;
    QByteArray depart;
    Entier32(depart, 3 << 16);  // protocol 3.0
    for (const QByteArray& champ : {QByteArray("user"), cible.utilisateur, QByteArray("database"), cible.base,
                                    QByteArray("client_encoding"), QByteArray("UTF8")})
        depart += champ + '\0';
    depart += '\0';
    QByteArray m;
    Entier32(m, qint32(depart.size() + 4));
    if (!Envoyer(c, m + depart))
        return false;
    char type = 0;
    QByteArray corps;
    // As libpq's connect_timeout of 10 s for a server that does not answer.
    while (Recevoir(c, type, corps, 10000)) {
        if (type == 'R' && (corps.size() < 4 || qFromBigEndian<qint32>(corps.constData()) != 0))
            return false;
        if (type == 'E')
            return false;
        if (type == 'K' && corps.size() >= 4)
            c->pid = qFromBigEndian<qint32>(corps.constData());
        if (type == 'Z') {
            c->etat = CONNECTION_OK;
            return true;
        }
    }
    return false;
}
}  // namespace

void PermettreClientLocal(bool oui) { permis = oui; }

const TLibpq& LibpqLocal() { return Table(); }

PGconn* ConnecterLocal(const QString& connexion, QString& nom)
{
    if (!permis || EnvironnementPg())
        return nullptr;
    const std::optional<TCible> cible = LireCible(connexion);
    if (!cible)
        return nullptr;
    auto* c = new TConnexionLocale;
    if (!Ouvrir(c, *cible)) {
        Couper(c, "");
        delete c;
        return nullptr;
    }
    nom = cible->nom;
    return reinterpret_cast<PGconn*>(c);
}
