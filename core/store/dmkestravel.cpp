#include "core/store/dmkestravel.h"

#include "core/store/dialecte.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"
#include "core/store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>
#include <QUuid>

namespace {
QString ContexteOuverture(const QString& chemin)
{
    return QStringLiteral("Impossible d'ouvrir la base de données « %1 ».").arg(chemin);
}

// The file is opened read-write and never created: a missing catalogue
// must be reported, not replaced by an empty one.
void VerifierFichier(const QString& chemin, const QString& contexte)
{
    if (!QFileInfo(chemin).isFile())
        throw EDatabaseError(ComposerMessage(contexte, PhraseCatalogue(TCauseEchec::Introuvable), QString()));
}

// Several processes of the suite share the file. A damaged file or one that
// is not a database shows up at the first statement, a schema too new at
// the version check: the message says which file it is.
void Preparer(const TBaseSql& base, const QString& contexte)
{
    try {
        base.Executer(Dialecte::JournalPartage);
        base.Executer(Dialecte::SansClesEtrangeres);
        MettreAJourSchema(base);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(contexte + '\n' + e.Message());
    }
}
}  // namespace

TBaseSql OuvrirCatalogue(const QString& chemin)
{
    const QString contexte = ContexteOuverture(chemin);
    VerifierFichier(chemin, contexte);
    TBaseSql base(chemin, TBaseSql::Acces::Ecriture, contexte);
    base.SetAttente(10000);
    Preparer(base, contexte);
    return base;
}

TdmKestravel::TdmKestravel(const QString& cheminBase) : TdmKestravel(cheminBase, {}, true) {}

TdmKestravel::TdmKestravel(const QString& cheminBase, SansQtSql) : TdmKestravel(cheminBase, {}, false) {}

TdmKestravel::TdmKestravel(const QString& connexion, Serveur) : TdmKestravel({}, connexion, false) {}

TdmKestravel::TdmKestravel(const QString& cheminBase, const QString& serveur, bool avecQtSql)
    : tblProduit("Produit", "idxPrimaryKey", {"Externe", "IdProduit", "IdProduitType"}, true),
      tblProduitType("ProduitType", "idxPrimaryKey", {"Externe", "IdProduitType"}, true),
      tblProduitCarac("ProduitCarac", "idxPrimaryKey", {"ExterneProduitCaracV", "IdProduit", "IdCarac"}, false),
      tblProduitTypeCarac("ProduitTypeCarac", "idxPrimaryKey", {"Externe", "IdProduitCarac"}, true),
      tblTransaction("Transaction", "idxStock", {"Externe", "IdProduit"}, false),
      tblProduitCaracIndexTriCarac("ProduitCarac", "TriCarac", {"ExterneProduitCaracV", "IdCarac"}, false),
      tblProduitCaracIndexTriProduit("ProduitCarac", "TriProduit", {"ExterneProduitCaracV", "IdProduit", "IdCarac"},
                                     false),
      tblProduitCaracIndexTriEnsemble("ProduitCarac", "TriEnsemble", {"ExterneProduitCaracV", "IdProduit", "IdCarac"},
                                      false),
      m_connexion(avecQtSql ? "Kestravel-" + QUuid::createUuid().toString(QUuid::WithoutBraces) : QString()),
      m_serveur(serveur)
{
    Ouvrir(cheminBase);
    DataModuleCreate();
}

TdmKestravel::~TdmKestravel()
{
    DataModuleDestroy();
    Fermer();
}

QString TdmKestravel::CheminBaseProgramme()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath("Kestravel.abs");
}

QString TdmKestravel::NomCatalogue() const { return SurServeur() ? NomServeur(m_serveur) : m_chemin; }

QSqlDatabase TdmKestravel::Base() const { return QSqlDatabase::database(m_connexion, false); }

TCurseur* TdmKestravel::Curseurs(int i)
{
    TCurseur* tous[] = {&tblProduit,
                        &tblProduitType,
                        &tblProduitCarac,
                        &tblProduitTypeCarac,
                        &tblTransaction,
                        &tblProduitCaracIndexTriCarac,
                        &tblProduitCaracIndexTriProduit,
                        &tblProduitCaracIndexTriEnsemble};
    return i < 8 ? tous[i] : nullptr;
}

void TdmKestravel::Ouvrir(const QString& cheminBase)
{
    if (SurServeur()) {
        m_base = TBaseSql::Serveur(m_serveur);
        try {
            MettreAJourSchema(m_base);
        } catch (const EDatabaseError& e) {
            throw EDatabaseError(
                QStringLiteral("Le catalogue du serveur « %1 » est illisible.\n").arg(m_base.Pg()->Nom())
                + e.Message());
        }
        for (int i = 0; TCurseur* c = Curseurs(i); ++i)
            c->Attacher(&m_base);
        return;
    }
    m_chemin = QFileInfo(cheminBase).absoluteFilePath();
    if (m_connexion.isEmpty()) {
        m_base = OuvrirCatalogue(m_chemin);
    } else {
        const QString contexte = ContexteOuverture(m_chemin);
        VerifierFichier(m_chemin, contexte);
        OuvrirQtSql(contexte);
        Preparer(m_base, contexte);
    }
    for (int i = 0; TCurseur* c = Curseurs(i); ++i)
        c->Attacher(&m_base);
}

void TdmKestravel::OuvrirQtSql(const QString& contexte)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_connexion);
    QUrl url = QUrl::fromLocalFile(m_chemin);
    url.setQuery("mode=rw");
    db.setDatabaseName(url.toString(QUrl::FullyEncoded));
    db.setConnectOptions("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000");
    if (!db.open()) {
        const QString msg = MessageSqlError(db.lastError(), contexte);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connexion);
        throw EDatabaseError(msg);
    }
    m_base = TBaseSql::DeQt(db);
    if (!m_base.Ouverte())
        throw EDatabaseError(QStringLiteral("Pilote SQLite indisponible."));
}

void TdmKestravel::Fermer()
{
    for (int i = 0; TCurseur* c = Curseurs(i); ++i)
        c->Attacher(nullptr);
    m_base = TBaseSql();
    if (m_connexion.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connexion, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connexion);
}

void TdmKestravel::Rouvrir(const QString& cheminBase)
{
    Fermer();
    Ouvrir(cheminBase);
}

void TdmKestravel::DataModuleCreate()
{
    for (TCurseur* c : {&tblProduit, &tblProduitType, &tblProduitCarac, &tblProduitTypeCarac, &tblTransaction})
        if (!c->Active())
            c->Open();
}

void TdmKestravel::DataModuleDestroy()
{
    for (TCurseur* c : {&tblProduit, &tblProduitType, &tblProduitCarac, &tblProduitTypeCarac, &tblTransaction})
        if (c->Active())
            c->Close();
}
