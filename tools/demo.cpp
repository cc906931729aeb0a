#include "tools/demo.h"

#include "core/store/acces.h"
#include "core/store/basesql.h"
#include "core/store/dates.h"
#include "core/store/erreurs.h"
#include "core/store/schema.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QStringEncoder>

namespace {
struct Categorie {
    int externe, id, parent;
    const char* libelle;
};
const Categorie Categories[] = {
    {0, 1, 0, "Outillage"},
    {0, 2, 1, "Outillage à main"},
    {0, 3, 1, "Outillage électroportatif"},
    {0, 4, 0, "Quincaillerie"},
    {0, 5, 4, "Visserie"},
    {0, 6, 4, "Chevilles et fixations"},
    {0, 7, 0, "Peinture"},
    {0, 8, 0, "Électricité"},
    {0, 9, 3, "Perceuses"},
    {0, 10, 7, "Pinceaux et rouleaux"},
    {1, 1, 0, "Jardin"},
    {1, 2, 1, "Arrosage"},
    {1, 3, 1, "Outils de jardin"},
    {2, 1, 0, "Consommables"},
    {2, 2, 1, "Abrasifs"},
};

struct Carac {
    int externe, id;
    const char* libelle;
    const char* unite;
};
const Carac Caracs[] = {
    {0, 1, "Longueur", "mm"},  {0, 2, "Diamètre", "mm"}, {0, 3, "Puissance", "W"}, {0, 4, "Couleur", ""},
    {0, 5, "Contenance", "L"}, {0, 6, "Matière", ""},    {1, 1, "Débit", "L/h"},   {2, 1, "Grain", ""},
};

struct Produit {
    int externe, id, categorie;
    const char* libelle;
    const char* reference;
    const char* description;
    double achat, tarif, vente;
    int stock, stockMini;
    const char* lien;
};
const Produit Produits[] = {
    {0, 1, 2, "Marteau de menuisier 500 g", "MAR500", "Manche en frêne.\r\nTête forgée.", 8.20, 16.90, 14.50, 12, 4,
     "1.jpg"},
    {0, 2, 2, "Tournevis plat 5,5 mm", "TRV55", "Lame chrome-vanadium.", 2.10, 4.90, 4.20, 40, 10, ""},
    {0, 3, 2, "Jeu de clés plates 6 à 22", "CLE622", "8 clés, étui plastique.", 14.00, 29.90, 26.00, 3, 5, "3.bmp"},
    {0, 4, 9, "Perceuse à percussion 750 W", "PER750", "Mandrin 13 mm.\r\nLivrée en coffret.", 38.00, 79.00, 69.90, 6,
     2, "4.jpg"},
    {0, 5, 9, "Perceuse-visseuse 18 V", "PVS18", "Deux batteries, chargeur rapide.", 55.00, 119.00, 99.00, 0, 2, ""},
    {0, 6, 3, "Scie sauteuse 650 W", "SCS650", "", 32.50, 65.00, 59.00, 2, 2, ""},
    {0, 7, 5, "Vis à bois 4x40 (boîte de 200)", "VB440", "Tête fraisée, empreinte Pozidriv.", 3.40, 7.50, 6.90, 120, 30,
     ""},
    {0, 8, 5, "Vis à bois 5x60 (boîte de 100)", "VB560", "", 4.10, 8.90, 7.90, 25, 30, ""},
    {0, 9, 6, "Chevilles nylon 8 mm (x50)", "CHN8", "Pour tous matériaux pleins.", 2.30, 5.20, 4.60, 60, 20, ""},
    {0, 10, 6, "Chevilles Molly 6 mm (x10)", "CHM6", "Pour plaque de plâtre.", 3.90, 8.40, 7.50, -2, 5, ""},
    {0, 11, 7, "Peinture acrylique blanc mat 2,5 L", "PAB25", "Murs et plafonds.\r\nLessivable.", 18.00, 36.90, 32.00,
     14, 6, "11.jpg"},
    {0, 12, 10, "Rouleau anti-goutte 180 mm", "ROU180", "", 4.20, 9.90, 8.50, 9, 3, ""},
    {0, 13, 10, "Pinceau plat 50 mm", "PIN50", "Soies naturelles.", 1.80, 4.50, 3.90, 30, 10, ""},
    {0, 14, 8, "Rallonge 10 m 3G1,5", "RAL10", "Câble H05VV-F.", 9.50, 21.00, 18.90, 7, 3, ""},
    {0, 15, 8, "Ampoule LED E27 9 W", "LED9", "Blanc chaud 2700 K.", 1.90, 5.50, 4.90, 85, 20, ""},
    {0, 16, 8, "Prise murale 16 A", "PRI16", "", 2.60, 6.20, 5.50, 4, 10, ""},
    {0, 17, 4, "Cadenas laiton 40 mm", "CAD40", "Deux clés.", 5.10, 11.90, 10.50, 11, 3, ""},
    {1, 1, 2, "Tuyau d'arrosage 25 m", "TUY25", "Diamètre 15 mm, anti-vrille.", 15.00, 34.90, 29.90, 8, 2, "1.jpg"},
    {1, 2, 2, "Pistolet d'arrosage 7 jets", "PIS7", "", 4.50, 11.90, 9.90, 16, 4, ""},
    {1, 3, 3, "Sécateur de jardin", "SEC20", "Lames acier trempé.", 7.80, 17.90, 15.50, 5, 2, ""},
    {2, 1, 2, "Papier abrasif grain 120 (x10)", "ABR120", "Feuilles 230 x 280 mm.", 2.40, 5.90, 5.20, 50, 10, "1.jpg"},
    {2, 2, 1, "Chiffons d'essuyage 1 kg", "CHIF1", "", 3.10, 6.90, 6.20, 22, 5, ""},
};

struct Valeur {
    int externe, produit, carac;
    const char* valeur;
};
const Valeur Valeurs[] = {
    {0, 1, 6, "Acier forgé"}, {0, 1, 1, "330"},    {0, 3, 6, "Chrome-vanadium"},
    {0, 4, 3, "750"},         {0, 5, 3, "400"},    {0, 7, 1, "40"},
    {0, 7, 2, "4"},           {0, 8, 1, "60"},     {0, 8, 2, "5"},
    {0, 9, 2, "8"},           {0, 11, 4, "Blanc"}, {0, 11, 5, "2,5"},
    {0, 12, 1, "180"},        {0, 14, 1, "10000"}, {1, 1, 1, "1200"},
    {2, 1, 1, "120"},
};

// The hammer's stock over a few months, which its history window draws: it
// fell below its minimum once before being restocked, and ends at its
// current stock.
struct Mouvement {
    int jour, heure, minute;  // days after 2024-03-21
    int ancienne, nouvelle;  // -1: none (a new product's first stock)
    const char* libelle;
};
const Mouvement HistoriqueMarteau[] = {
    {0, 9, 0, -1, 20, "Ajout"},
    {15, 14, 12, 20, 14, "Passage en commande"},
    {37, 10, 40, 14, 9, "Passage en commande"},
    {56, 16, 5, 9, 3, "Passage en commande"},
    {58, 8, 30, 3, 18, "Mis à jour"},
    {82, 11, 20, 18, 15, "Passage en commande"},
    {103, 15, 45, 15, 16, "Commande annulée"},
    {120, 9, 55, 16, 12, "Passage en commande"},
};

void Dessiner(const QString& chemin, const QColor& couleur, const QString& texte)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(couleur.lighter(170));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(couleur);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(30, 30, 260, 180), 24, 24);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(20);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(30, 30, 260, 180), Qt::AlignCenter | Qt::TextWordWrap, texte);
    p.end();
    if (!image.save(chemin))
        throw EKestravel(QStringLiteral("Impossible d'écrire l'image « %1 ».").arg(chemin));
}

void EcrireTexte(const QString& chemin, const QString& texte, bool cp1252)
{
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EKestravel(QStringLiteral("Impossible d'écrire « %1 ».").arg(chemin));
    if (cp1252) {
        QStringEncoder enc("windows-1252");
        f.write(enc(texte));
    } else {
        f.write(texte.toUtf8());
    }
}
}  // namespace

void RemplirCatalogueDemo(const QString& cheminBase)
{
    const TBaseSql db(cheminBase, TBaseSql::Acces::Ecriture, QStringLiteral("Ouverture du catalogue impossible."));
    TTransactionSql transaction(db);
    for (const Categorie& c : Categories)
        ExecuterInstruction(db, "INSERT INTO ProduitType VALUES (?, ?, ?, ?)",
                            {c.externe, c.id, c.parent, QString::fromUtf8(c.libelle)});
    for (const Carac& c : Caracs)
        ExecuterInstruction(db, "INSERT INTO ProduitTypeCarac VALUES (?, ?, ?, ?)",
                            {c.externe, c.id, QString::fromUtf8(c.libelle), QString::fromUtf8(c.unite)});
    const QDateTime creation(QDate(2024, 3, 18), QTime(0, 0));
    for (const Produit& p : Produits) {
        ExecuterInstruction(db,
                            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Description, CodeExport,"
                            " PrixAchatHT, PrixTarifHT, PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock,"
                            " StockMini) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                            {p.externe, p.id, p.categorie, QString::fromUtf8(p.description),
                             QStringLiteral("K%1-%2").arg(p.externe).arg(p.id, 4, 10, QLatin1Char('0')), p.achat,
                             p.tarif, p.vente, QString::fromUtf8(p.libelle), DateHeureBase(creation.addDays(p.id * 3)),
                             QString::fromUtf8(p.reference), QString::fromUtf8(p.lien), p.stock, p.stockMini});
        if (p.externe == 0 && p.id == 1) {
            for (const Mouvement& m : HistoriqueMarteau)
                ExecuterInstruction(db,
                                    "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld,"
                                    " QuantiteNew, Libelle, DateMaj) VALUES (0, 1, ?, ?, ?, ?, ?)",
                                    {p.categorie, m.ancienne < 0 ? QVariant() : QVariant(m.ancienne), m.nouvelle,
                                     QString::fromUtf8(m.libelle),
                                     DateHeureBase(QDateTime(QDate(2024, 3, 21).addDays(m.jour),
                                                             QTime(m.heure, m.minute)))});
            continue;
        }
        if (p.stock > 0)
            ExecuterInstruction(db,
                                "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld,"
                                " QuantiteNew, Libelle, DateMaj) VALUES (?, ?, ?, 0, ?, 'Ajout', ?)",
                                {p.externe, p.id, p.categorie, p.stock + 2,
                                 DateHeureBase(creation.addDays(p.id * 3).addSecs(9 * 3600))});
        if (p.stock > 0 && p.externe == 0 && p.id % 3 == 0)
            ExecuterInstruction(db,
                                "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld,"
                                " QuantiteNew, Libelle, DateMaj) VALUES (?, ?, ?, ?, ?, 'Passage en commande', ?)",
                                {p.externe, p.id, p.categorie, p.stock + 2, p.stock,
                                 DateHeureBase(creation.addDays(p.id * 3 + 20).addSecs(14 * 3600 + 1520))});
    }
    for (const Valeur& v : Valeurs)
        ExecuterInstruction(db, "INSERT INTO ProduitCarac VALUES (?, ?, ?, ?)",
                            {v.externe, v.produit, v.carac, QString::fromUtf8(v.valeur)});
    transaction.Commit();
}

void CreerDemo(const QString& racine, const QString& programme)
{
    const QDir r(racine);
    const QString module = r.filePath("Modules/Kestravel");
    const QString admin = r.filePath("Administration");
    const QString images = admin + "/Images";
    for (const QString& d :
         {module, images + "/Interne", images + "/Externe", images + "/Standard", r.filePath("Echange")})
        if (!QDir().mkpath(d))
            throw EKestravel(QStringLiteral("Impossible de créer le dossier « %1 ».").arg(d));

    const QString base = module + "/Kestravel.abs";
    for (const char* suffixe : {"", "-wal", "-shm"})
        QFile::remove(base + suffixe);
    CreerCatalogueVide(base);
    RemplirCatalogueDemo(base);

    if (!programme.isEmpty()) {
        // The program the host starts and, beside it, the windows it hands
        // the windowed modes to.
        const QString fenetres = QFileInfo(programme).dir().filePath("kestravel-fenetres");
        for (const auto& [source, nom] : {std::pair{programme, QStringLiteral("kestravel")},
                                          std::pair{fenetres, QStringLiteral("kestravel-fenetres")}}) {
            const QString cible = module + "/" + nom;
            QFile::remove(cible);
            if (!QFile::copy(source, cible))
                throw EKestravel(QStringLiteral("Impossible de copier « %1 ».").arg(source));
        }
    }

    Dessiner(images + "/Interne/1.jpg", QColor(0x8d, 0x5a, 0x2b), "Marteau");
    Dessiner(images + "/Interne/3.bmp", QColor(0x4a, 0x6f, 0x8a), "Clés plates");
    Dessiner(images + "/Interne/4.jpg", QColor(0x1f, 0x6f, 0x3a), "Perceuse");
    Dessiner(images + "/Interne/11.jpg", QColor(0xb0, 0xb0, 0xa8), "Peinture");
    Dessiner(images + "/Externe/1.jpg", QColor(0x2e, 0x7d, 0x32), "Tuyau");
    Dessiner(images + "/Standard/1.jpg", QColor(0x9e, 0x7b, 0x4f), "Abrasif");

    EcrireTexte(admin + "/Kestravel.ini",
                QStringLiteral("[General]\r\nVersion=1\r\nAdministration=%1\r\n").arg(QDir(admin).absolutePath()),
                true);
    EcrireTexte(r.filePath("Echange/demande.xml"),
                QStringLiteral(
                    "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                    "<Kestravel>"
                    "<Produit Type=\"Commander\" Externe=\"0\" IdProduit=\"1\" IdProduitType=\"2\" Quantite=\"2\"/>"
                    "<Produit Type=\"Commander\" Externe=\"0\" IdProduit=\"6\" IdProduitType=\"3\" Quantite=\"5\"/>"
                    "<Produit Type=\"Actualiser\" Externe=\"0\" IdProduit=\"11\" IdProduitType=\"7\" Quantite=\"1\"/>"
                    "<Produit Type=\"Remonter\" Externe=\"1\" IdProduit=\"2\" IdProduitType=\"2\" Quantite=\"3\"/>"
                    "<Produit Type=\"Commander\" Externe=\"0\" IdProduit=\"99\" IdProduitType=\"1\" Quantite=\"1\"/>"
                    "</Kestravel>\r\n"),
                true);
}
