#include "store/schema.h"

#include "store/erreurs.h"

#include <QFile>
#include <QSqlError>
#include <QUuid>

QStringList TablesCatalogue()
{
    return {"Produit", "ProduitType", "ProduitCarac", "ProduitTypeCarac", "Transaction"};
}

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
        QStringLiteral("PRAGMA user_version = %1").arg(VersionSchema),
    };
}

void CreerSchema(const QSqlDatabase& db)
{
    ExecuterSql(db, "BEGIN IMMEDIATE");
    try {
        for (const QString& sql : InstructionsSchema())
            ExecuterSql(db, sql);
        ExecuterSql(db, "COMMIT");
    } catch (...) {
        ExecuterSql(db, "ROLLBACK");
        throw;
    }
}

void CreerCatalogueVide(const QString& chemin)
{
    if (QFile::exists(chemin))
        throw EKestravel(QStringLiteral("Le fichier « %1 » existe déjà.").arg(chemin));
    const QString nom = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", nom);
        db.setDatabaseName(chemin);
        if (!db.open())
            throw EDatabaseError(db.lastError().text());
        ExecuterSql(db, "PRAGMA journal_mode=WAL");
        CreerSchema(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(nom);
}
