#include "core/store/curseur.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <sqlite3.h>

namespace {
constexpr int TaillePage = 256;
// A walk from the start begins with a short page: most cursors are opened
// (or sent back to their first row) only to be positioned elsewhere, and a
// sale must not read hundreds of rows of five tables for nothing.
constexpr int TaillePremierePage = 8;

QString Quoter(const QString& nom) { return '"' + nom + '"'; }
}  // namespace

TCurseur::TCurseur(QString table, QString index, QStringList cles, bool cleUnique)
    : m_table(std::move(table)), m_index(std::move(index)), m_cles(std::move(cles)),
      m_cleUnique(cleUnique)
{
}

TCurseur::~TCurseur() { Close(); }

void TCurseur::Attacher(sqlite3* base)
{
    Close();
    m_base = base;
}

void TCurseur::Erreur() const
{
    throw EDatabaseError(MessageSqlite(m_base));
}

void TCurseur::PosterAvantDeplacement()
{
    // Moving away from a row being written posts it first.
    Verifier();
    if (m_etat != Etat::Parcours)
        Post();
}

void TCurseur::Verifier() const
{
    if (!m_actif)
        throw EDatabaseError(QStringLiteral("La table %1 n'est pas ouverte.").arg(m_table));
}

void TCurseur::Open()
{
    if (m_actif)
        return;
    if (!m_base)
        throw EDatabaseError(QStringLiteral("La base de données n'est pas ouverte."));
    m_colonnes.clear();
    m_typesColonnes.clear();
    m_indiceColonne.clear();
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QStringLiteral("PRAGMA table_info(%1)").arg(Quoter(m_table)).toUtf8();
    if (sqlite3_prepare_v2(m_base, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        Erreur();
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString nom = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
        m_indiceColonne.insert(nom, int(m_colonnes.size()));
        m_indiceColonne.insert(nom.toUpper(), int(m_colonnes.size()));
        m_colonnes << nom;
        m_typesColonnes << type.toUpper();
    }
    sqlite3_finalize(st);
    if (m_colonnes.isEmpty())
        throw EDatabaseError(QStringLiteral("Table %1 introuvable dans la base de données.").arg(m_table));
    for (const QString& c : m_cles)
        if (!m_indiceColonne.contains(c.toUpper()))
            throw EDatabaseError(QStringLiteral("Champ %1 introuvable dans la table %2.").arg(c, m_table));
    QStringList cols;
    for (const QString& c : m_colonnes)
        cols << Quoter(c);
    m_selection = cols.join(", ") + ", rowid";
    m_genresCles.clear();
    for (int i = 0; i < m_cles.size(); ++i) {
        const QString type = TypeCle(i);
        m_genresCles << (type.contains("INT") ? GenreCle::Entier
                         : (type.contains("CHAR") || type.contains("TEXT") || type.contains("CLOB")) ? GenreCle::Texte
                                                                                                       : GenreCle::Autre);
    }
    m_actif = true;
    m_plage.clear();
    m_etat = Etat::Parcours;
    m_modifs.clear();
    First();
}

void TCurseur::Close()
{
    if (m_stFind) {
        sqlite3_finalize(m_stFind);
        m_stFind = nullptr;
    }
    for (sqlite3_stmt* st : std::as_const(m_stPages))
        sqlite3_finalize(st);
    m_stPages.clear();
    m_actif = false;
    m_surLigne = false;
    m_eof = m_bof = true;
    m_etat = Etat::Parcours;
    m_modifs.clear();
    Invalider();
}

int TCurseur::Colonne(const QString& nom) const
{
    // A table has a dozen columns: comparing names as declared beats hashing
    // them, and field access is what a walk does most.
    for (int i = 0; i < m_colonnes.size(); ++i)
        if (m_colonnes[i].size() == nom.size() && m_colonnes[i] == nom)
            return i;
    // Other spellings still match.
    return m_indiceColonne.value(nom.toUpper(), -1);
}

QString TCurseur::TypeCle(int i) const
{
    return m_typesColonnes.value(m_indiceColonne.value(m_cles.value(i).toUpper(), -1));
}

sqlite3_stmt* TCurseur::Preparer(const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray u = sql.toUtf8();
    if (sqlite3_prepare_v2(m_base, u.constData(), int(u.size()), &st, nullptr) != SQLITE_OK)
        Erreur();
    return st;
}

void TCurseur::Lier(sqlite3_stmt* st, int pos, const QVariant& v) const
{
    int rc;
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        rc = sqlite3_bind_null(st, pos);
        break;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Bool: case QMetaType::Short:
        rc = sqlite3_bind_int64(st, pos, v.toLongLong());
        break;
    case QMetaType::Double: case QMetaType::Float:
        rc = sqlite3_bind_double(st, pos, v.toDouble());
        break;
    default:
        if (v.isNull()) {
            rc = sqlite3_bind_null(st, pos);
        } else {
            const QByteArray u = v.toString().toUtf8();
            rc = sqlite3_bind_text(st, pos, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        }
    }
    if (rc != SQLITE_OK)
        Erreur();
}

TCurseur::Ligne TCurseur::LireLigne(sqlite3_stmt* st) const
{
    const int n = sqlite3_column_count(st);
    Ligne l(n);
    for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
            l[i] = QVariant(qint64(sqlite3_column_int64(st, i)));
            break;
        case SQLITE_FLOAT:
            l[i] = QVariant(sqlite3_column_double(st, i));
            break;
        case SQLITE_NULL:
            break;
        default:
            l[i] = QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                              sqlite3_column_bytes(st, i)));
        }
    }
    return l;
}

QString TCurseur::ClauseCle() const
{
    QStringList k;
    for (const QString& c : m_cles)
        k << Quoter(c);
    if (!m_cleUnique)
        k << "rowid";
    return k.join(", ");
}

QString TCurseur::ConditionPlage() const
{
    QStringList c;
    for (int i = 0; i < m_plage.size(); ++i)
        c << Quoter(m_cles[i]) + " = ?";
    return c.isEmpty() ? QStringLiteral("1") : c.join(" AND ");
}

int TCurseur::LierPlage(sqlite3_stmt* st) const
{
    for (int i = 0; i < m_plage.size(); ++i)
        Lier(st, i + 1, m_plage[i]);
    return int(m_plage.size());
}

QVariantList TCurseur::CleDe(const Ligne& l) const
{
    QVariantList k;
    for (const QString& c : m_cles)
        k << l.value(Colonne(c));
    if (!m_cleUnique)
        k << l.value(m_colonnes.size());
    return k;
}

bool TCurseur::ChangementsExternes() const
{
    return sqlite3_total_changes64(m_base) != m_changements;
}

sqlite3_stmt* TCurseur::RequetePage(int nbCle, bool avant, bool inclure)
{
    // Prepared once per shape: a long walk reads thousands of pages.
    const int forme = ((nbCle * 2 + avant) * 2 + inclure) * 8 + int(m_plage.size());
    auto it = m_stPages.find(forme);
    if (it != m_stPages.end()) {
        sqlite3_reset(*it);
        sqlite3_clear_bindings(*it);
        return *it;
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(m_selection, Quoter(m_table), ConditionPlage());
    if (nbCle > 0) {
        QStringList marques;
        for (int i = 0; i < nbCle; ++i)
            marques << "?";
        const QString op = avant ? (inclure ? ">=" : ">") : (inclure ? "<=" : "<");
        sql += QStringLiteral(" AND (%1) %2 (%3)").arg(ClauseCle(), op, marques.join(", "));
    }
    QString ordre = ClauseCle();
    if (!avant)
        ordre.replace(", ", " DESC, ").append(" DESC");
    sql += QStringLiteral(" ORDER BY %1 LIMIT ?").arg(ordre);
    sqlite3_stmt* st = Preparer(sql);
    m_stPages.insert(forme, st);
    return st;
}

void TCurseur::ChargerPage(const QVariantList& depuis, bool avant, bool inclure)
{
    const int limite = !avant ? 1 : depuis.isEmpty() ? TaillePremierePage : TaillePage;
    sqlite3_stmt* st = RequetePage(int(depuis.size()), avant, inclure);
    int pos = LierPlage(st);
    for (const QVariant& v : depuis)
        Lier(st, ++pos, v);
    Lier(st, ++pos, limite);
    Invalider();
    m_page.reserve(limite);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        m_page << LireLigne(st);
    // Reset at once: a statement left pending would hold the read
    // transaction open.
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        Erreur();
    m_pageFin = avant && m_page.size() < limite;
    m_changements = sqlite3_total_changes64(m_base);
}

void TCurseur::First()
{
    PosterAvantDeplacement();
    ChargerPage({}, true, true);
    m_bof = true;
    m_surLigne = !m_page.isEmpty();
    m_eof = !m_surLigne;
    if (m_surLigne) {
        m_posPage = 0;
        m_ligne = m_page[0];
    }
}

void TCurseur::Next()
{
    PosterAvantDeplacement();
    if (!m_surLigne) {
        First();
        return;
    }
    if (m_posPage >= 0 && !ChangementsExternes()) {
        if (m_posPage + 1 < m_page.size()) {
            // A page row is read once: passed on, not copied.
            m_ligne = std::move(m_page[++m_posPage]);
            m_bof = false;
            return;
        }
        if (m_pageFin) {
            m_eof = true;
            return;
        }
    }
    ChargerPage(CleDe(m_ligne), true, false);
    if (m_page.isEmpty()) {
        m_eof = true;
        return;
    }
    m_posPage = 0;
    m_ligne = m_page[0];
    m_bof = false;
}

void TCurseur::Prior()
{
    PosterAvantDeplacement();
    if (!m_surLigne) {
        Last();
        return;
    }
    ChargerPage(CleDe(m_ligne), false, false);
    if (m_page.isEmpty()) {
        m_bof = true;
        return;
    }
    m_ligne = m_page[0];
    m_posPage = 0;
    m_pageFin = false;
    m_bof = false;
    m_eof = false;
}

void TCurseur::Last()
{
    PosterAvantDeplacement();
    ChargerPage({}, false, true);
    m_surLigne = !m_page.isEmpty();
    m_eof = true;
    m_bof = !m_surLigne;
    if (m_surLigne) {
        m_ligne = m_page[0];
        m_posPage = 0;
        m_pageFin = false;
    }
}

bool TCurseur::IsEmpty() { return RecordCount() == 0; }

int TCurseur::RecordCount()
{
    Verifier();
    sqlite3_stmt* st = Preparer(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2")
                                    .arg(Quoter(m_table), ConditionPlage()));
    LierPlage(st);
    int n = 0;
    if (sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return n;
}

const QVariant& TCurseur::Field(const QString& nom) const
{
    static const QVariant vide;
    Verifier();
    const int i = Colonne(nom);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Champ %1 introuvable dans la table %2.").arg(nom, m_table));
    if (m_etat != Etat::Parcours) {
        const auto it = m_modifs.constFind(i);
        if (it != m_modifs.constEnd())
            return *it;
        if (m_etat == Etat::Insertion)
            return vide;
    }
    return m_surLigne && i < m_ligne.size() ? m_ligne[i] : vide;
}

void TCurseur::SetField(const QString& nom, const QVariant& valeur)
{
    Verifier();
    if (m_etat == Etat::Parcours)
        throw EDatabaseError(QStringLiteral("La table %1 n'est pas en édition.").arg(m_table));
    const int i = Colonne(nom);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Champ %1 introuvable dans la table %2.").arg(nom, m_table));
    m_modifs.insert(i, valeur);
}

void TCurseur::Insert()
{
    PosterAvantDeplacement();
    m_etat = Etat::Insertion;
    m_modifs.clear();
}

void TCurseur::Edit()
{
    Verifier();
    if (m_etat != Etat::Parcours)
        return;
    if (!m_surLigne)
        throw EDatabaseError(QStringLiteral("Aucun enregistrement courant dans la table %1.").arg(m_table));
    m_etat = Etat::Edition;
    m_modifs.clear();
}

void TCurseur::Cancel()
{
    m_etat = Etat::Parcours;
    m_modifs.clear();
}

void TCurseur::Post()
{
    Verifier();
    if (m_etat == Etat::Parcours)
        return;
    QStringList noms;
    QVariantList valeurs;
    for (auto it = m_modifs.constBegin(); it != m_modifs.constEnd(); ++it) {
        noms << Quoter(m_colonnes[it.key()]);
        valeurs << it.value();
    }
    qint64 rowid;
    if (m_etat == Etat::Insertion) {
        QString sql;
        if (noms.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Quoter(m_table));
        } else {
            QStringList marques;
            for (int i = 0; i < noms.size(); ++i)
                marques << "?";
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(Quoter(m_table), noms.join(", "), marques.join(", "));
        }
        sqlite3_stmt* st = Preparer(sql);
        for (int i = 0; i < valeurs.size(); ++i)
            Lier(st, i + 1, valeurs[i]);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            Erreur();
        rowid = sqlite3_last_insert_rowid(m_base);
    } else {
        rowid = m_ligne.value(m_colonnes.size()).toLongLong();
        if (!noms.isEmpty()) {
            const QString sql = QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                                    .arg(Quoter(m_table), noms.join(" = ?, "));
            sqlite3_stmt* st = Preparer(sql);
            for (int i = 0; i < valeurs.size(); ++i)
                Lier(st, i + 1, valeurs[i]);
            Lier(st, int(valeurs.size()) + 1, rowid);
            const int rc = sqlite3_step(st);
            sqlite3_finalize(st);
            if (rc != SQLITE_DONE)
                Erreur();
        }
    }
    m_etat = Etat::Parcours;
    m_modifs.clear();
    PositionnerSurRowid(rowid);
}

void TCurseur::PositionnerSurRowid(qint64 rowid)
{
    sqlite3_stmt* st = Preparer(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                    .arg(m_selection, Quoter(m_table)));
    Lier(st, 1, rowid);
    Invalider();
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        m_page << LireLigne(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        Erreur();
    m_changements = sqlite3_total_changes64(m_base);
    m_surLigne = !m_page.isEmpty();
    m_eof = m_bof = !m_surLigne;
    if (m_surLigne) {
        m_ligne = m_page[0];
        m_posPage = 0;
        m_pageFin = false;
    }
}

void TCurseur::Delete()
{
    Verifier();
    if (m_etat == Etat::Insertion) {
        Cancel();
        return;
    }
    m_etat = Etat::Parcours;
    m_modifs.clear();
    if (!m_surLigne)
        throw EDatabaseError(QStringLiteral("Aucun enregistrement courant dans la table %1.").arg(m_table));
    sqlite3_stmt* st = Preparer(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(Quoter(m_table)));
    Lier(st, 1, m_ligne.value(m_colonnes.size()));
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        Erreur();
    // The cursor moves on to the row that followed the deleted one.
    ChargerPage(CleDe(m_ligne), true, false);
    m_surLigne = !m_page.isEmpty();
    m_eof = !m_surLigne;
    m_bof = false;
    if (m_surLigne) {
        m_posPage = 0;
        m_ligne = m_page[0];
    }
}

void TCurseur::SetRange(const QVariantList& valeurs)
{
    PosterAvantDeplacement();
    m_plage = valeurs.mid(0, m_cles.size());
    First();
}

void TCurseur::CancelRange()
{
    Verifier();
    if (m_plage.isEmpty())
        return;
    m_plage.clear();
    Invalider();
    m_eof = m_bof = false;
    if (!m_surLigne)
        First();
}

bool TCurseur::FindKey(const QVariantList& valeurs)
{
    PosterAvantDeplacement();
    const int n = int(std::min<qsizetype>(valeurs.size(), m_cles.size()));
    if (!m_stFind || m_stFindNb != n + int(m_plage.size()) * 1000) {
        if (m_stFind)
            sqlite3_finalize(m_stFind);
        m_stFind = nullptr;
        QStringList cond{ConditionPlage()};
        for (int i = 0; i < n; ++i)
            cond << Quoter(m_cles[i]) + " = ?";
        m_stFind = Preparer(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
                                .arg(m_selection, Quoter(m_table), cond.join(" AND "), ClauseCle()));
        m_stFindNb = n + int(m_plage.size()) * 1000;
    }
    sqlite3_reset(m_stFind);
    int pos = LierPlage(m_stFind);
    for (int i = 0; i < n; ++i)
        Lier(m_stFind, ++pos, valeurs[i]);
    const int rc = sqlite3_step(m_stFind);
    if (rc == SQLITE_ROW) {
        Invalider();
        m_ligne = LireLigne(m_stFind);
        m_page << m_ligne;
        m_posPage = 0;
        m_pageFin = false;
        m_surLigne = true;
        m_eof = m_bof = false;
        m_changements = sqlite3_total_changes64(m_base);
    }
    sqlite3_reset(m_stFind);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        Erreur();
    return rc == SQLITE_ROW;
}
