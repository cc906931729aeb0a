#include "core/store/indexannexes.h"

#include "core/store/basesql.h"
#include "core/store/erreurs.h"

namespace {
const char* const Noms[] = {"ProduitAReapprovisionner", "ProduitParReference", "ProduitParCodeExport"};
}  // namespace

QStringList InstructionsIndexAnnexes()
{
    return {
        // Every column the reorder list shows, so that it never reads the
        // table; the condition is the list's own, word for word, which is
        // what lets either engine use the index.
        "CREATE INDEX IF NOT EXISTS ProduitAReapprovisionner ON Produit (Externe, IdProduitType, IdProduit, Stock,"
        " StockMini, PrixAchatHT, Reference, Libelle) WHERE StockMini > 0 AND Stock <= StockMini",
        "CREATE INDEX IF NOT EXISTS ProduitParReference ON Produit (lower(Reference))",
        "CREATE INDEX IF NOT EXISTS ProduitParCodeExport ON Produit (lower(CodeExport))",
    };
}

bool IndexAnnexesInstalles(const TBaseSql& base)
{
    QStringList noms;
    for (const char* n : Noms)
        noms << QStringLiteral("'%1'").arg(base.SurServeur() ? QString::fromLatin1(n).toLower() : QLatin1String(n));
    const QString sql = base.SurServeur()
        ? QStringLiteral("SELECT COUNT(*) FROM pg_indexes WHERE schemaname = current_schema() AND indexname IN (%1)")
        : QStringLiteral("SELECT COUNT(*) FROM sqlite_schema WHERE type = 'index' AND name IN (%1)");
    return base.Valeur(sql.arg(noms.join(", ")), QStringLiteral("Lecture du catalogue impossible.")).toInt()
        == int(std::size(Noms));
}

bool InstallerIndexAnnexes(const TBaseSql& base)
{
    if (IndexAnnexesInstalles(base))
        return true;
    try {
        TTransactionSql transaction(base);
        for (const QString& sql : InstructionsIndexAnnexes())
            base.Executer(sql, QStringLiteral("Les index du catalogue n'ont pas pu être créés."));
        transaction.Commit();
    } catch (const EDatabaseError&) {
        // A server login without the owner's rights: the lists read the
        // table instead.
        if (base.SurServeur())
            return false;
        throw;
    }
    return true;
}

QString PlierCode(const QString& code)
{
    QString r = code;
    for (QChar& c : r)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return r;
}
