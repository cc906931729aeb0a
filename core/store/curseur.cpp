#include "core/store/curseur.h"

#include "core/store/dialecte.h"
#include "core/store/erreurs.h"

#include <cstring>

namespace {
constexpr int TaillePage = 256;
// A walk from the start begins with a short page: most cursors are opened
// (or sent back to their first row) only to be positioned elsewhere, and a
// sale must not read hundreds of rows of five tables for nothing.
constexpr int TaillePremierePage = 8;

QString Quoter(const QString& nom) { return '"' + nom + '"'; }
}  // namespace

TCurseur::TCurseur(QString table, QString index, QStringList cles, bool cleUnique)
    : m_table(std::move(table)), m_index(std::move(index)), m_cles(std::move(cles)), m_cleUnique(cleUnique)
{}

TCurseur::~TCurseur() { Close(); }

void TCurseur::Attacher(const TBaseSql* base)
{
    Close();
    m_base = base;
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
    if (!m_base || !m_base->Ouverte())
        throw EDatabaseError(QStringLiteral("La base de données n'est pas ouverte."));
    m_colonnes.clear();
    m_typesColonnes.clear();
    m_indiceColonne.clear();
    for (const TBaseSql::TColonne& c : m_base->Colonnes(m_table)) {
        m_indiceColonne.insert(c.nom, int(m_colonnes.size()));
        m_indiceColonne.insert(c.nom.toUpper(), int(m_colonnes.size()));
        m_colonnes << c.nom;
        m_typesColonnes << c.type;
    }
    if (m_colonnes.isEmpty())
        throw EDatabaseError(QStringLiteral("Table %1 introuvable dans la base de données.").arg(m_table));
    for (const QString& c : m_cles)
        if (!m_indiceColonne.contains(c.toUpper()))
            throw EDatabaseError(QStringLiteral("Champ %1 introuvable dans la table %2.").arg(c, m_table));
    QStringList cols;
    for (const QString& c : m_colonnes)
        cols << Quoter(c);
    m_selection = cols.join(", ") + ", " + Dialecte::IdLigne;
    m_genresCles.clear();
    for (int i = 0; i < m_cles.size(); ++i) {
        const QString type = TypeCle(i);
        m_genresCles << (type.contains("INT") ? GenreCle::Entier
                             : (type.contains("CHAR") || type.contains("TEXT") || type.contains("CLOB"))
                             ? GenreCle::Texte
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
    m_stFind = TInstructionSql();
    m_stFindNb = -1;
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
    // them, and field access is what a walk does most. Same-length names are
    // told apart by their bytes directly.
    const qsizetype taille = nom.size();
    for (int i = 0; i < m_colonnes.size(); ++i) {
        const QString& c = m_colonnes[i];
        if (c.size() == taille && std::memcmp(c.constData(), nom.constData(), size_t(taille) * sizeof(QChar)) == 0)
            return i;
    }
    // Other spellings still match.
    return m_indiceColonne.value(nom.toUpper(), -1);
}

QString TCurseur::TypeCle(int i) const
{
    return m_typesColonnes.value(m_indiceColonne.value(m_cles.value(i).toUpper(), -1));
}

TInstructionSql TCurseur::Preparer(const QString& sql) const { return TInstructionSql(*m_base, sql); }

QString TCurseur::ClauseCle() const
{
    QStringList k;
    for (const QString& c : m_cles)
        k << Quoter(c);
    if (!m_cleUnique)
        k << Dialecte::IdLigne;
    return k.join(", ");
}

QString TCurseur::ConditionPlage() const
{
    QStringList c;
    for (int i = 0; i < m_plage.size(); ++i)
        c << Quoter(m_cles[i]) + " = ?";
    return c.isEmpty() ? QStringLiteral("1 = 1") : c.join(" AND ");
}

int TCurseur::LierPlage(TInstructionSql& st) const
{
    for (int i = 0; i < m_plage.size(); ++i)
        st.Lier(i + 1, m_plage[i]);
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

bool TCurseur::ChangementsExternes() const { return m_base->Modifications() != m_changements; }

TInstructionSql& TCurseur::RequetePage(int nbCle, bool avant, bool inclure)
{
    // Prepared once per shape: a long walk reads thousands of pages.
    const int forme = ((nbCle * 2 + avant) * 2 + inclure) * 8 + int(m_plage.size());
    auto it = m_stPages.find(forme);
    if (it != m_stPages.end()) {
        it->second.Reinitialiser();
        return it->second;
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
    return m_stPages.emplace(forme, Preparer(sql)).first->second;
}

void TCurseur::ChargerPage(const QVariantList& depuis, bool avant, bool inclure)
{
    const int limite = !avant ? 1 : depuis.isEmpty() ? TaillePremierePage : TaillePage;
    TInstructionSql& st = RequetePage(int(depuis.size()), avant, inclure);
    int pos = LierPlage(st);
    for (const QVariant& v : depuis)
        st.Lier(++pos, v);
    st.LierEntier(++pos, limite);
    // The rows of the last page lend their buffers to this one: a walk
    // allocates no row after its first pages.
    m_posPage = -1;
    qsizetype lues = 0;
    try {
        while (st.Etape()) {
            if (lues == m_page.size())
                m_page.emplace_back();
            st.LireLigne(m_page[lues++]);
        }
    } catch (...) {
        Invalider();
        throw;
    }
    m_page.resize(lues);
    // Reset at once: a statement left pending would hold the read
    // transaction open.
    st.Rembobiner();
    m_pageFin = avant && m_page.size() < limite;
    m_changements = m_base->Modifications();
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
            // A page row is read once: passed on, not copied; the row left
            // behind keeps its buffer for the next page.
            m_ligne.swap(m_page[++m_posPage]);
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
    TInstructionSql st =
        Preparer(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(Quoter(m_table), ConditionPlage()));
    LierPlage(st);
    return st.Etape() ? int(st.Entier(0)) : 0;
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
        TInstructionSql st = Preparer(sql + QStringLiteral(" RETURNING ") + Dialecte::IdLigne);
        st.Lier(valeurs);
        rowid = st.Etape() ? st.Entier(0) : 0;
        st.Executer();
    } else {
        rowid = m_ligne.value(m_colonnes.size()).toLongLong();
        if (!noms.isEmpty()) {
            const QString sql = QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                                    .arg(Quoter(m_table), noms.join(" = ?, "), Dialecte::IdLigne);
            TInstructionSql st = Preparer(sql);
            st.Lier(valeurs);
            st.LierEntier(int(valeurs.size()) + 1, rowid);
            st.Executer();
        }
    }
    m_etat = Etat::Parcours;
    m_modifs.clear();
    PositionnerSurRowid(rowid);
}

void TCurseur::PositionnerSurRowid(qint64 rowid)
{
    TInstructionSql st =
        Preparer(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(m_selection, Quoter(m_table), Dialecte::IdLigne));
    st.LierEntier(1, rowid);
    Invalider();
    if (st.Etape()) {
        m_page.emplace_back();
        st.LireLigne(m_page.back());
    }
    m_changements = m_base->Modifications();
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
    TInstructionSql st =
        Preparer(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(Quoter(m_table), Dialecte::IdLigne));
    st.Lier(1, m_ligne.value(m_colonnes.size()));
    st.Executer();
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
    if (!m_stFind.Preparee() || m_stFindNb != n + int(m_plage.size()) * 1000) {
        m_stFind = TInstructionSql();
        m_stFindNb = -1;
        QStringList cond{ConditionPlage()};
        for (int i = 0; i < n; ++i)
            cond << Quoter(m_cles[i]) + " = ?";
        m_stFind = Preparer(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
                                .arg(m_selection, Quoter(m_table), cond.join(" AND "), ClauseCle()));
        m_stFindNb = n + int(m_plage.size()) * 1000;
    }
    m_stFind.Reinitialiser();
    int pos = LierPlage(m_stFind);
    for (int i = 0; i < n; ++i)
        m_stFind.Lier(++pos, valeurs[i]);
    const bool trouve = m_stFind.Etape();
    if (trouve) {
        Invalider();
        m_stFind.LireLigne(m_ligne);
        m_page << m_ligne;
        m_posPage = 0;
        m_pageFin = false;
        m_surLigne = true;
        m_eof = m_bof = false;
        m_changements = m_base->Modifications();
    }
    m_stFind.Rembobiner();
    return trouve;
}
