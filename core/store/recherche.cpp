#include "core/store/recherche.h"

#include "core/store/dialecte.h"
#include "core/store/erreurs.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringList>

namespace {
// French accented letters and their plain form. The index's triggers hold
// the same table as nested replace() calls, in two levels (capitals, then
// small letters): SQLite's parser refuses much deeper nesting.
const struct {
    char16_t accent;
    const char* simple;
} Pliage[] = {
    {u'à', "a"}, {u'â', "a"}, {u'ä', "a"},  {u'ç', "c"},  {u'é', "e"}, {u'è', "e"}, {u'ê', "e"},
    {u'ë', "e"}, {u'î', "i"}, {u'ï', "i"},  {u'ô', "o"},  {u'ö', "o"}, {u'ù', "u"}, {u'û', "u"},
    {u'ü', "u"}, {u'ÿ', "y"}, {u'æ', "ae"}, {u'œ', "oe"}, {u'ñ', "n"},
};

const char* const Declencheurs[] = {"RechercheProduitAjout", "RechercheProduitSuppression",
                                    "RechercheProduitModification", "RechercheProduitRemplacement"};

// `expression` with the accented letters of one case replaced.
QString Remplacements(QString expression, bool capitales)
{
    for (const auto& p : Pliage) {
        const QChar lettre = capitales ? QChar(p.accent).toUpper() : QChar(p.accent);
        expression = QStringLiteral("replace(%1, '%2', '%3')").arg(expression, lettre, QLatin1String(p.simple));
    }
    return expression;
}

// SELECT giving (id, label, reference, export code) folded, from `source`
// whose columns are named by `prefixe` ("new." in a trigger).
QString SelectionPliee(const QString& id, const QString& prefixe, const QString& source)
{
    const auto capitales = [&](const char* champ) { return Remplacements(prefixe + QLatin1String(champ), true); };
    return QStringLiteral("SELECT i, %1, %2, %3 FROM (SELECT %4 AS i, %5 AS l, %6 AS r, %7 AS c%8)")
        .arg(Remplacements("l", false), Remplacements("r", false), Remplacements("c", false), id, capitales("Libelle"),
             capitales("Reference"), capitales("CodeExport"), source);
}

const QString Insertion =
    Dialecte::InsererOuRemplacer(QStringLiteral("RechercheProduit (rowid, Libelle, Reference, CodeExport) "));

void Executer(const TBaseSql& base, const QString& sql)
{
    base.Executer(sql, QStringLiteral("L'index de recherche des produits n'a pas pu être modifié."));
}

const QString LectureImpossible = QStringLiteral("Lecture du catalogue impossible.");

// Present while the index is built in steps: the first product row not
// indexed yet.
const QString Construction = QStringLiteral("RechercheProduitConstruction");

// The index's table and triggers present (of five).
int ObjetsIndex(const TBaseSql& base)
{
    return base
        .Valeur(
            QStringLiteral("SELECT COUNT(*) FROM sqlite_schema WHERE (type = 'table' AND name = 'RechercheProduit')"
                           " OR (type = 'trigger' AND name IN ('RechercheProduitAjout', 'RechercheProduitSuppression',"
                           " 'RechercheProduitModification', 'RechercheProduitRemplacement'))"),
            LectureImpossible)
        .toInt();
}

bool ConstructionEnCours(const TBaseSql& base)
{
    return base.Valeur(QStringLiteral("SELECT COUNT(*) FROM sqlite_schema WHERE type = 'table' AND name = '%1'")
                           .arg(Construction),
                       LectureImpossible)
               .toInt()
        > 0;
}

// The index's table, empty, and the triggers that keep it in step.
void CreerIndexVide(const TBaseSql& base)
{
    Executer(base,
             QStringLiteral("CREATE VIRTUAL TABLE RechercheProduit USING fts5(Libelle, Reference, "
                            "CodeExport, tokenize = 'trigram')"));
    const QString nouvelle = Insertion + SelectionPliee("new.rowid", "new.", QString()) + ';';
    Executer(base,
             QStringLiteral("CREATE TRIGGER RechercheProduitAjout AFTER INSERT ON Produit BEGIN %1 END").arg(nouvelle));
    Executer(base,
             QStringLiteral("CREATE TRIGGER RechercheProduitSuppression AFTER DELETE ON Produit BEGIN "
                            "DELETE FROM RechercheProduit WHERE rowid = old.rowid; END"));
    Executer(base,
             QStringLiteral("CREATE TRIGGER RechercheProduitModification AFTER UPDATE OF Libelle, "
                            "Reference, CodeExport ON Produit BEGIN DELETE FROM RechercheProduit "
                            "WHERE rowid = old.rowid; %1 END")
                 .arg(nouvelle));
    // A row that INSERT OR REPLACE removes fires no delete trigger: its
    // entry goes before the new row comes.
    Executer(base,
             QStringLiteral("CREATE TRIGGER RechercheProduitRemplacement BEFORE INSERT ON Produit BEGIN "
                            "DELETE FROM RechercheProduit WHERE rowid IN (SELECT rowid FROM Produit WHERE "
                            "Externe = new.Externe AND IdProduit = new.IdProduit AND "
                            "IdProduitType = new.IdProduitType); END"));
}

// Indexes the products of `source` (" FROM Produit WHERE …").
void Remplir(const TBaseSql& base, const QString& source)
{
    Executer(base, Insertion + SelectionPliee("rowid", QString(), source));
}

// The fill touches the index's pages again and again: with the connection's
// small page cache it would spend its time reading back what it has just
// written. The connection's own size comes back afterwards.
class TGrandCache {
public:
    explicit TGrandCache(const TBaseSql& base)
        : m_base(base), m_taille(base.Valeur(Dialecte::LireTailleCache, LectureImpossible).toLongLong())
    {
        Executer(base, Dialecte::TailleCache(-262144));
    }
    ~TGrandCache()
    {
        try {
            m_base.Executer(Dialecte::TailleCache(m_taille));
        } catch (const EDatabaseError&) {
            // Only the connection's memory: it goes with the connection.
        }
    }
    TGrandCache(const TGrandCache&) = delete;
    TGrandCache& operator=(const TGrandCache&) = delete;

private:
    const TBaseSql& m_base;
    qint64 m_taille;
};

QString Motif(const QString& mot)
{
    QString m = mot;
    m.replace('\\', "\\\\").replace('%', "\\%").replace('_', "\\_");
    return '%' + m + '%';
}
}  // namespace

QString PlierRecherche(const QString& texte)
{
    QString resultat;
    resultat.reserve(texte.size());
    for (const QChar c : texte) {
        const QChar minuscule = c.toLower();
        const auto* p = std::find_if(std::begin(Pliage), std::end(Pliage),
                                     [&](const auto& e) { return e.accent == minuscule.unicode(); });
        if (p != std::end(Pliage))
            resultat += QLatin1String(p->simple);
        else
            resultat += minuscule;
    }
    return resultat;
}

QString LettresPliees()
{
    QString lettres;
    for (const auto& p : Pliage)
        lettres += QString(QChar(p.accent)) + QChar(p.accent).toUpper();
    return lettres;
}

bool IndexRechercheInstalle(const TBaseSql& base)
{
    // A server has no index to prepare: its search reads the products.
    if (base.SurServeur())
        return true;
    return ObjetsIndex(base) == 5 && !ConstructionEnCours(base);
}

void InstallerIndexRecherche(const TBaseSql& base, const std::function<void()>& patience)
{
    if (IndexRechercheInstalle(base))
        return;
    TTransactionSql transaction(base);
    {
        // A half-made index (from a version that stopped midway, or a build
        // in steps not finished) goes first.
        SupprimerIndexRecherche(base);
        CreerIndexVide(base);
        const TGrandCache cache(base);
        const std::function<bool()> rappel = [&] {
            patience();
            return true;
        };
        if (patience)
            base.SetSurveillance(200000, &rappel);
        try {
            Remplir(base, QStringLiteral(" FROM Produit"));
        } catch (...) {
            base.SetSurveillance(0, nullptr);
            throw;
        }
        base.SetSurveillance(0, nullptr);
    }
    transaction.Commit();
}

bool ConstruireIndexRecherche(const TBaseSql& base, const std::function<bool(int pourcent)>& avancement, qint64 lot)
{
    if (IndexRechercheInstalle(base))
        return true;
    if (!ConstructionEnCours(base) || ObjetsIndex(base) != 5) {
        // The table and its triggers first: from then on every write keeps
        // the rows already indexed in step.
        TTransactionSql transaction(base);
        SupprimerIndexRecherche(base);
        CreerIndexVide(base);
        Executer(base, QStringLiteral("CREATE TABLE %1 (Suivant INTEGER NOT NULL)").arg(Construction));
        Executer(base, QStringLiteral("INSERT INTO %1 SELECT COALESCE(MIN(rowid), 0) FROM Produit").arg(Construction));
        transaction.Commit();
    }
    const TGrandCache cache(base);
    for (;;) {
        const qint64 suivant =
            base.Valeur(QStringLiteral("SELECT Suivant FROM %1").arg(Construction), LectureImpossible).toLongLong();
        const QVariant premier = base.Valeur(QStringLiteral("SELECT MIN(rowid) FROM Produit"), LectureImpossible);
        const QVariant dernier = base.Valeur(QStringLiteral("SELECT MAX(rowid) FROM Produit"), LectureImpossible);
        const qint64 total = dernier.isNull() ? 0 : dernier.toLongLong() - premier.toLongLong() + 1;
        const qint64 fait = total == 0 ? 0 : qBound<qint64>(0, suivant - premier.toLongLong(), total);
        if (avancement && !avancement(total == 0 ? 100 : int(fait * 100 / total)))
            return false;
        // Rows added meanwhile are indexed by the triggers, and again here
        // (replacing their entry) when they come after `suivant`.
        TTransactionSql transaction(base);
        if (dernier.isNull() || suivant > dernier.toLongLong()) {
            Executer(base, QStringLiteral("DROP TABLE %1").arg(Construction));
            transaction.Commit();
            return true;
        }
        const qint64 debut = qMax(suivant, premier.toLongLong());
        Remplir(base, QStringLiteral(" FROM Produit WHERE rowid >= %1 AND rowid < %2").arg(debut).arg(debut + lot));
        Executer(base, QStringLiteral("UPDATE %1 SET Suivant = %2").arg(Construction).arg(debut + lot));
        transaction.Commit();
    }
}

void SupprimerIndexRecherche(const TBaseSql& base)
{
    if (base.SurServeur())
        return;
    TTransactionSql transaction(base);
    for (const char* nom : Declencheurs)
        Executer(base, QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(nom)));
    Executer(base, QStringLiteral("DROP TABLE IF EXISTS RechercheProduit"));
    Executer(base, QStringLiteral("DROP TABLE IF EXISTS %1").arg(Construction));
    transaction.Commit();
}

namespace {
// In a file while its index is built: every product read, its texts folded
// as the index folds them, in the triggers' two levels; the parameters as
// a file's search without MATCH.
QString RequeteParcours(qsizetype nombreMots, bool externe)
{
    QString sql = QStringLiteral(
                      "SELECT %1 FROM Produit p JOIN (SELECT i, %2 AS l, %3 AS r, %4 AS c FROM (SELECT rowid AS i, "
                      "%5 AS l, %6 AS r, %7 AS c FROM Produit)) f ON f.i = p.rowid WHERE 1 = 1")
                      .arg(QLatin1String(ColonnesLigneProduit), Remplacements("l", false), Remplacements("r", false),
                           Remplacements("c", false), Remplacements("Libelle", true), Remplacements("Reference", true),
                           Remplacements("CodeExport", true));
    for (qsizetype i = 0; i < nombreMots; ++i)
        sql += QStringLiteral(" AND (f.l LIKE ? ESCAPE '\\' OR f.r LIKE ? ESCAPE '\\' OR f.c LIKE ? ESCAPE '\\')");
    if (externe)
        sql += QStringLiteral(" AND p.Externe = ?");
    return sql + QStringLiteral(" ORDER BY p.rowid");
}
}  // namespace

void GarderLignes(TInstructionSql& q, const TCritereRecherche& critere, TResultatRecherche& resultat)
{
    while (q.Etape()) {
        QString categorie;
        if (!critere.categories.isEmpty()) {
            const auto c = critere.categories.constFind(CleCategorie(int(q.Entier(0)), int(q.Entier(2))));
            if (c == critere.categories.constEnd())
                continue;
            categorie = *c;
        }
        if (resultat.lignes.Taille() == critere.limite) {
            resultat.tronque = true;
            break;
        }
        AjouterLigneProduit(resultat.lignes, q, categorie);
    }
}

namespace {
// The words typed, folded; beyond the first ones they are left out (the
// window says so): the cost of a search grows with its words.
QStringList MotsRecherche(const QString& texte, TResultatRecherche& resultat)
{
    QStringList mots = PlierRecherche(texte.left(LongueurRechercheMax))
                           .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (mots.size() > MotsRechercheMax) {
        resultat.motsIgnores = int(mots.size()) - MotsRechercheMax;
        mots.resize(MotsRechercheMax);
    }
    return mots;
}

// The search's values, in the order of its statement's parameters.
void LierRecherche(TInstructionSql& q, const TBaseSql& base, const TCritereRecherche& critere, const QStringList& longs,
                   const QStringList& courts)
{
    int n = 0;
    if (!longs.isEmpty()) {
        QStringList phrases;
        for (QString mot : longs)
            phrases << '"' + mot.replace('"', "\"\"") + '"';
        q.LierTexte(++n, phrases.join(" AND "));
    }
    if (base.SurServeur()) {
        // The words' patterns in one value, the categories as arrays.
        QStringList motifs;
        for (const QString& mot : courts)
            motifs << Motif(mot);
        q.LierTexte(++n, motifs.join('\n'));
        if (!critere.categories.isEmpty()) {
            QStringList externes, ids;
            for (auto c = critere.categories.cbegin(); c != critere.categories.cend(); ++c) {
                externes << QString::number(c.key() >> 32);
                ids << QString::number(qint32(c.key() & 0xffffffff));
            }
            q.LierTexte(++n, '{' + externes.join(',') + '}');
            q.LierTexte(++n, '{' + ids.join(',') + '}');
        }
    } else {
        for (const QString& mot : courts)
            for (int i = 0; i < 3; ++i)
                q.LierTexte(++n, Motif(mot));
    }
    if (critere.externe >= 0)
        q.LierEntier(++n, critere.externe);
    if (base.SurServeur())
        q.LierEntier(++n, critere.limite + 1);
}
}  // namespace

TResultatRecherche Rechercher(const TBaseSql& base, const TCritereRecherche& critere)
{
    TResultatRecherche resultat;
    const QStringList mots = MotsRecherche(critere.texte, resultat);
    // In a file, words of three letters or more go through the index (each
    // may be in any of the three texts); shorter ones are checked on the
    // rows found, or on every row when the query has no longer word. A
    // server reads the products, all words alike, and only the rows shown.
    // While a file's index is built, its products are read the same way.
    const bool parcours = critere.sansIndex && !base.SurServeur();
    QStringList longs, courts;
    for (const QString& mot : mots)
        (mot.size() >= 3 && !base.SurServeur() && !parcours ? longs : courts) << mot;
    if (longs.isEmpty() && courts.isEmpty())
        return resultat;
    Dialecte::TRequeteRecherche requete;
    requete.parIndex = !longs.isEmpty();
    requete.mots = courts.size();
    requete.externe = critere.externe >= 0;
    requete.categories = !critere.categories.isEmpty();
    try {
        TInstructionSql q(
            base,
            parcours ? RequeteParcours(courts.size(), requete.externe) : Dialecte::RequeteRecherche(base, requete));
        LierRecherche(q, base, critere, longs, courts);
        GarderLignes(q, critere, resultat);
    } catch (const EDatabaseError& e) {
        resultat.erreur = e.Message();
        resultat.lignes = TLignesProduits();
    }
    return resultat;
}

TConstructionIndexRecherche::TConstructionIndexRecherche(const QString& cheminBase,
                                                         std::function<void(int pourcent)> avancement,
                                                         std::function<void(QString erreur)> fin)
    : m_chemin(cheminBase), m_avancement(std::move(avancement)), m_fin(std::move(fin)), m_fil([this] { Construire(); })
{}

TConstructionIndexRecherche::~TConstructionIndexRecherche()
{
    {
        std::lock_guard<std::mutex> verrou(m_verrou);
        m_arret = true;
        // The step under way is rolled back; those before it stay.
        if (m_base)
            m_base->Interrompre();
    }
    m_fil.join();
}

void TConstructionIndexRecherche::Construire()
{
    const auto arrete = [this] {
        std::lock_guard<std::mutex> verrou(m_verrou);
        return m_arret;
    };
    QString erreur;
    try {
        // Its own connection: the window's stays free for its reads and
        // writes, which pass between the build's steps.
        TBaseSql base(m_chemin, TBaseSql::Acces::Ecriture, QString());
        base.SetAttente(5000);
        {
            std::lock_guard<std::mutex> verrou(m_verrou);
            if (m_arret)
                return;
            m_base = &base;
        }
        const auto oubli = qScopeGuard([this] {
            std::lock_guard<std::mutex> verrou(m_verrou);
            m_base = nullptr;
        });
        ConstruireIndexRecherche(base, [&](int pourcent) {
            if (arrete())
                return false;
            m_avancement(pourcent);
            return true;
        });
    } catch (const EKestravel& e) {
        erreur = e.Message();
    }
    if (!arrete())
        m_fin(erreur);
}

TRechercheProduits::TRechercheProduits(const QString& cheminBase, TRappel rappel, const QString& serveur)
    : m_chemin(cheminBase), m_serveur(serveur), m_rappel(std::move(rappel)), m_fil([this] { Boucle(); })
{}

TRechercheProduits::~TRechercheProduits()
{
    {
        std::lock_guard<std::mutex> verrou(m_verrou);
        m_fin = true;
        if (m_base)
            m_base->Interrompre();
    }
    m_reveil.notify_one();
    m_fil.join();
}

quint64 TRechercheProduits::Chercher(TCritereRecherche critere)
{
    std::lock_guard<std::mutex> verrou(m_verrou);
    m_demande = std::move(critere);
    ++m_numero;
    if (m_base)
        m_base->Interrompre();
    m_reveil.notify_one();
    return m_numero;
}

void TRechercheProduits::Annuler()
{
    std::lock_guard<std::mutex> verrou(m_verrou);
    m_traite = ++m_numero;
    if (m_base)
        m_base->Interrompre();
}

void TRechercheProduits::Boucle()
{
    TBaseSql base;
    for (;;) {
        quint64 numero;
        TCritereRecherche critere;
        {
            std::unique_lock<std::mutex> verrou(m_verrou);
            m_reveil.wait(verrou, [this] { return m_fin || m_numero != m_traite; });
            if (m_fin)
                break;
            numero = m_traite = m_numero;
            critere = m_demande;
        }
        TResultatRecherche resultat;
        if (!base.Ouverte()) {
            // Its own connection, read only: the window's stays free for
            // writes, and a search never holds a lock that blocks them.
            try {
                if (m_serveur.isEmpty()) {
                    base = TBaseSql(m_chemin, TBaseSql::Acces::Lecture, QString());
                } else {
                    base = TBaseSql::Serveur(m_serveur);
                    base.Executer(QStringLiteral("SET default_transaction_read_only = on"));
                }
                base.SetAttente(2000);
                std::lock_guard<std::mutex> verrou(m_verrou);
                m_base = &base;
            } catch (const EDatabaseError& e) {
                resultat.erreur = e.Message();
            }
        }
        if (base.Ouverte())
            resultat = Rechercher(base, critere);
        {
            std::lock_guard<std::mutex> verrou(m_verrou);
            if (numero != m_numero)
                continue;  // superseded or cancelled meanwhile
        }
        m_rappel(numero, std::move(resultat));
    }
    std::lock_guard<std::mutex> verrou(m_verrou);
    m_base = nullptr;
}
