#include "core/store/dialecte.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <sqlite3.h>

namespace Dialecte {
QString InsererOuRemplacer(const QString& table) { return QStringLiteral("INSERT OR REPLACE INTO ") + table; }

QString EcrireVersion(int version) { return QStringLiteral("PRAGMA user_version = %1").arg(version); }

QString ColonnesTable(const QString& table)
{
    QString nom = table;
    return QStringLiteral("PRAGMA main.table_info(\"%1\")").arg(nom.replace('"', QLatin1String("\"\"")));
}

QString TailleCache(qint64 taille) { return QStringLiteral("PRAGMA cache_size = %1").arg(taille); }

namespace {
// The journal mode after asking for `mode` (or the current one), lower
// case; empty when the engine refused.
QString JournalMode(const TBaseSql& base, const char* mode)
{
    try {
        return base
            .Valeur(mode ? QStringLiteral("PRAGMA journal_mode=") + QLatin1String(mode)
                         : QStringLiteral("PRAGMA journal_mode"))
            .toString()
            .toLower();
    } catch (const EDatabaseError&) {
        return {};
    }
}
}  // namespace

void CopierBase(const TBaseSql& source, const TBaseSql& cible, const QString& contexte)
{
    // With a rollback journal the pages go once into the file, instead of
    // into the WAL and then into the file. Switching needs the catalogue to
    // ourselves: when another process has it open, the copy goes through the
    // WAL (just as safe, only slower), without waiting for it.
    cible.SetAttente(0);
    const bool journalSimple = JournalMode(cible, nullptr) == "wal" && JournalMode(cible, "DELETE") == "delete";
    cible.SetAttente(10000);
    struct TRetour {
        const TBaseSql& base;
        bool actif;
        ~TRetour()
        {
            if (actif)
                JournalMode(base, "WAL");
        }
    } retour{cible, journalSimple};

    sqlite3_backup* b = sqlite3_backup_init(cible.Handle(), "main", source.Handle(), "main");
    if (!b)
        cible.Echec(contexte);
    int rc;
    do {
        rc = sqlite3_backup_step(b, -1);
    } while (rc == SQLITE_OK);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw EDatabaseError(MessageSqlite(rc, QString::fromUtf8(sqlite3_errstr(rc)), contexte));
}

namespace {
void AppelerFonction(sqlite3_context* ctx, int n, sqlite3_value** args)
{
    double arguments[8] = {};
    for (int i = 0; i < n && i < 8; ++i)
        arguments[i] = sqlite3_value_double(args[i]);
    const auto f = reinterpret_cast<TFonctionReelle>(sqlite3_user_data(ctx));
    sqlite3_result_double(ctx, f(arguments));
}
}  // namespace

void DeclarerFonction(const TBaseSql& base, const char* nom, int nombreArguments, TFonctionReelle fonction)
{
    Q_ASSERT(nombreArguments <= 8);
    if (sqlite3_create_function_v2(base.Handle(), nom, nombreArguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   reinterpret_cast<void*>(fonction), &AppelerFonction, nullptr, nullptr, nullptr)
        != SQLITE_OK)
        base.Echec();
}
}  // namespace Dialecte
