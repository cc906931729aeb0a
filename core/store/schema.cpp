#include "core/store/schema.h"

#include "core/store/basesql.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"
#include "core/store/indexannexes.h"

#include <QFile>
#include <QHash>

QStringList TablesCatalogue() { return {"Produit", "ProduitType", "ProduitCarac", "ProduitTypeCarac", "Transaction"}; }

QStringList InstructionsSchema()
{
    return {
        R"(CREATE TABLE Produit (
             Externe INTEGER NOT NULL,
             IdProduit INTEGER NOT NULL,
             IdProduitType INTEGER NOT NULL,
             Description VARCHAR(2048),
             CodeExport VARCHAR(30),
             PrixAchatHT REAL,
             PrixTarifHT REAL,
             PrixVenteHT REAL,
             Libelle VARCHAR(255),
             DateCreation TEXT,
             Reference VARCHAR(10),
             Lien TEXT,
             Stock INTEGER,
             StockMini INTEGER,
             PRIMARY KEY (Externe, IdProduit, IdProduitType)))",
        // Lists the products of one category without reading the whole table.
        "CREATE INDEX ProduitParCategorie ON Produit (Externe, IdProduitType, IdProduit)",
        R"(CREATE TABLE ProduitType (
             Externe INTEGER NOT NULL,
             IdProduitType INTEGER NOT NULL,
             IdParent INTEGER,
             Libelle VARCHAR(50),
             PRIMARY KEY (Externe, IdProduitType)))",
        R"(CREATE TABLE ProduitTypeCarac (
             Externe INTEGER NOT NULL,
             IdProduitCarac INTEGER NOT NULL,
             Libelle TEXT,
             Unite TEXT,
             PRIMARY KEY (Externe, IdProduitCarac)))",
        R"(CREATE TABLE ProduitCarac (
             ExterneProduitCaracV INTEGER NOT NULL,
             IdProduit INTEGER NOT NULL,
             IdCarac INTEGER NOT NULL,
             Valeur TEXT))",
        "CREATE INDEX TriEnsemble ON ProduitCarac (ExterneProduitCaracV, IdProduit, IdCarac)",
        "CREATE INDEX TriCarac ON ProduitCarac (ExterneProduitCaracV, IdCarac)",
        R"(CREATE TABLE "Transaction" (
             IdTransaction INTEGER PRIMARY KEY AUTOINCREMENT,
             Externe INTEGER NOT NULL,
             IdProduit INTEGER NOT NULL,
             IdProduitType INTEGER,
             QuantiteOld INTEGER,
             QuantiteNew INTEGER,
             Libelle TEXT,
             DateMaj TEXT))",
        R"(CREATE INDEX idxStock ON "Transaction" (Externe, IdProduit))",
    };
}

void CreerSchema(const TBaseSql& base)
{
    TTransactionSql transaction(base);
    for (const QString& sql : InstructionsSchema() + InstructionsIndexAnnexes())
        base.Executer(sql);
    base.Executer(Dialecte::EcrireVersion(base, VersionSchema));
    transaction.Commit();
}

namespace {
// Statements that take a catalogue from version i to i + 1, at index i.
// Version 0 is a catalogue written before the version was kept: the same
// tables, possibly without the indexes the module's lists rely on.
const QList<QStringList>& Migrations()
{
    static const QList<QStringList> m{
        {"CREATE INDEX IF NOT EXISTS ProduitParCategorie ON Produit (Externe, IdProduitType, IdProduit)",
         "CREATE INDEX IF NOT EXISTS TriEnsemble ON ProduitCarac (ExterneProduitCaracV, IdProduit, IdCarac)",
         "CREATE INDEX IF NOT EXISTS TriCarac ON ProduitCarac (ExterneProduitCaracV, IdCarac)",
         R"(CREATE INDEX IF NOT EXISTS idxStock ON "Transaction" (Externe, IdProduit))"},
    };
    static_assert(VersionSchema == 1, "one migration per version");
    return m;
}

int LireVersion(const TBaseSql& base) { return base.Valeur(Dialecte::LireVersion(base)).toInt(); }
}  // namespace

void MettreAJourSchema(const TBaseSql& base)
{
    if (LireVersion(base) == VersionSchema)
        return;
    // Read again under the write lock: another process may have brought the
    // file up to date meanwhile.
    TTransactionSql transaction(base);
    const int version = LireVersion(base);
    if (version > VersionSchema)
        throw EDatabaseError(
            QStringLiteral("Ce catalogue a été enregistré par une version plus récente du module (version %1 de"
                           " la base ; cette version du module connaît la version %2). Il n'a pas été modifié :"
                           " installez la version du module qui l'a enregistré.")
                .arg(version)
                .arg(VersionSchema));
    for (int v = std::max(version, 0); v < VersionSchema; ++v)
        for (const QString& sql : Migrations().at(v))
            base.Executer(sql);
    base.Executer(Dialecte::EcrireVersion(base, VersionSchema));
    transaction.Commit();
}

void CreerCatalogueVide(const QString& chemin)
{
    if (QFile::exists(chemin))
        throw EKestravel(QStringLiteral("Le fichier « %1 » existe déjà.").arg(chemin));
    const TBaseSql base(chemin, TBaseSql::Acces::Creation, QString());
    base.Executer(Dialecte::JournalPartage);
    CreerSchema(base);
}

const QStringList& ColonnesCatalogue(const QString& table)
{
    static const QHash<QString, QStringList> colonnes = [] {
        const QString travail = QStringLiteral("Base de travail.");
        const TBaseSql modele(QStringLiteral(":memory:"), TBaseSql::Acces::Ecriture, travail);
        for (const QString& sql : InstructionsSchema())
            modele.Executer(sql, travail);
        QHash<QString, QStringList> r;
        for (const QString& t : TablesCatalogue())
            for (const TBaseSql::TColonne& c : modele.Colonnes(t))
                r[t] << c.nom;
        return r;
    }();
    static const QStringList aucune;
    const auto it = colonnes.constFind(table);
    return it == colonnes.constEnd() ? aucune : *it;
}

QList<qint64> RemplacerTables(const TBaseSql& source, const TBaseSql& cible)
{
    // The five tables as they were at one moment: movements copied agree
    // with the stock copied, even while tills sell on the source.
    const TLectureSql instantane(source);
    QList<qint64> lignes;
    for (const QString& table : TablesCatalogue()) {
        const QString nom = '"' + table + '"';
        const QStringList& colonnes = ColonnesCatalogue(table);
        cible.Executer("DELETE FROM " + nom);
        TInstructionSql lecture(source,
                                "SELECT " + colonnes.join(", ") + " FROM " + nom + " ORDER BY " + Dialecte::IdLigne);
        TChargementSql chargement(cible,
                                  QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(nom, colonnes.join(", "), QStringList(colonnes.size(), "?").join(", ")));
        qint64 n = 0;
        while (lecture.Etape()) {
            for (int i = 0; i < colonnes.size(); ++i)
                chargement.Ligne().Lier(i + 1, lecture.Valeur(i));
            chargement.Ajouter();
            ++n;
        }
        chargement.Terminer();
        lignes << n;
    }
    Dialecte::AlignerNumerosMouvements(cible);
    return lignes;
}
