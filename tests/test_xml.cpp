// The XML layer used for every exchange file with the host.

#include "core/exchange/xmldoc.h"
#include "core/store/erreurs.h"
#include "tests/soutien.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <iconv.h>

class TestXml : public QObject {
    Q_OBJECT

    QTemporaryDir m_dossier;
    QString Fichier(const QString& nom, const QByteArray& contenu)
    {
        const QString chemin = m_dossier.filePath(nom);
        EcrireFichier(chemin, contenu);
        return chemin;
    }
    // What the system's converter reads in windows-1252 bytes.
    static QString SelonIconv(QByteArray octets)
    {
        iconv_t cd = iconv_open("UTF-8", "CP1252");
        QByteArray utf8(octets.size() * 3, '\0');
        char *e = octets.data(), *s = utf8.data();
        size_t resteE = size_t(octets.size()), resteS = size_t(utf8.size());
        const bool ok = iconv(cd, &e, &resteE, &s, &resteS) != size_t(-1);
        iconv_close(cd);
        return ok ? QString::fromUtf8(utf8.left(utf8.size() - qsizetype(resteS))) : QString();
    }
    static QByteArray Octets(const QString& chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void creationDeclareWindows1252EtUneRacineVide()
    {
        TXmlDoc doc = TXmlDoc::Create("Kestravel");
        QCOMPARE(doc.Root().Name(), QString("Kestravel"));
        const QString chemin = m_dossier.filePath("cree.xml");
        doc.SaveToFile(chemin);
        QCOMPARE(Octets(chemin), QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel/>\n"));
    }

    void ecritureSansMiseEnFormeEtEnWindows1252()
    {
        TXmlDoc doc("Kestravel");
        TXmlNodeRef p = doc.Root().AddChild("Produit");
        p.WriteAttribute("Etat", "Ok");
        p.WriteAttribute("Etat", "Épuisé & <fin>");
        p.WriteChildString("Libelle", "Crème brûlée € \"x\"");
        p.WriteChildInteger("Quantite", 3);
        p.WriteChildInteger("Quantite", 5);
        p.WriteChildString("Vide", "");
        const QByteArray attendu =
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
            "<Kestravel><Produit Etat=\"\xC9puis\xE9 &amp; &lt;fin&gt;\">"
            "<Libelle>Cr\xE8me br\xFBl\xE9"
            "e \x80 \"x\"</Libelle>"
            "<Quantite>5</Quantite><Vide/></Produit></Kestravel>\n";
        QCOMPARE(doc.Contenu(), attendu);

        // Read back through the layer: the same texts.
        const QString chemin = m_dossier.filePath("ecrit.xml");
        doc.SaveToFile(chemin);
        TXmlDoc relu("Kestravel");
        relu.LoadFromFile(chemin);
        const TXmlNodeRef q = relu.Root().FindChild("Produit");
        QCOMPARE(q.ReadAttributeString("Etat", "?"), QString("Épuisé & <fin>"));
        QCOMPARE(q.FindChild("Libelle").Text(), QString("Crème brûlée € \"x\""));
        TXmlNodeRefList quantites;
        q.ChildrenByName("Quantite", quantites);
        QCOMPARE(quantites.Count(), 1);
        QCOMPARE(quantites.Get(0).Text(), QString("5"));
    }

    void lectureDesAttributs()
    {
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(Fichier("attr.xml",
                                 "<Kestravel><Produit Quantite='12' Lettres='abc' Type=''"
                                 " Moins='-7' Plus='+4' Grand='4294967296' Blanc=' 3'"
                                 " Decimal='1.5'/></Kestravel>"));
        const TXmlNodeRef p = doc.Root().FindChild("Produit");
        QCOMPARE(p.ReadAttributeInteger("Quantite", -1), 12);
        QCOMPARE(p.ReadAttributeInteger("Absent", -1), -1);
        QCOMPARE(p.ReadAttributeInteger("Lettres", -1), -1);
        QCOMPARE(p.ReadAttributeInteger("Type", -1), -1);
        QCOMPARE(p.ReadAttributeInteger("Moins", 0), -7);
        QCOMPARE(p.ReadAttributeInteger("Plus", 0), 4);
        QCOMPARE(p.ReadAttributeInteger("Grand", -1), -1);
        QCOMPARE(p.ReadAttributeInteger("Blanc", -1), -1);
        QCOMPARE(p.ReadAttributeInteger("Decimal", -1), -1);
        QCOMPARE(p.ReadAttributeString("Type", "defaut"), QString(""));
        QCOMPARE(p.ReadAttributeString("Absent", ""), QString(""));
        QCOMPARE(p.ReadAttributeString("Absent", "defaut"), QString("defaut"));
        QCOMPARE(p.ReadAttributeString("quantite", "non"), QString("non"));  // case counts
    }

    void enfantsParNomSansPetitsEnfants()
    {
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(Fichier("enfants.xml",
                                 "<Kestravel><Produit n='1'><Produit n='petit'/></Produit>"
                                 "<!--Produit--><Autre/>texte<Produit n='2'/>"
                                 "<produit n='casse'/></Kestravel>"));
        TXmlNodeRefList liste;
        liste.Add(TXmlNodeRef());  // no node is ignored
        doc.Root().ChildrenByName("Produit", liste);
        QCOMPARE(liste.Count(), 2);
        QCOMPARE(liste.Get(0).ReadAttributeString("n", ""), QString("1"));
        QCOMPARE(liste.Get(1).ReadAttributeString("n", ""), QString("2"));
        QVERIFY(liste.Get(liste.Count()).IsNull());
        QVERIFY(liste.Get(-1).IsNull());
        doc.Root().ChildrenByName("Autre", liste);  // appended, not cleared
        QCOMPARE(liste.Count(), 3);

        QVERIFY(doc.Root().FindChild("Absent").IsNull());
        QVERIFY(TXmlNodeRef().FindChild("Produit").IsNull());
        const TXmlNodeRef premier = doc.Root().FindChild("Produit");
        QCOMPARE(doc.Root().FindOrAddChild("Produit"), premier);
        doc.Root().AddChild("Produit");
        TXmlNodeRefList apres;
        doc.Root().ChildrenByName("Produit", apres);
        QCOMPARE(apres.Count(), 3);
    }

    void racineApresChargement()
    {
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(Fichier("autre.xml", "<?xml version='1.0'?><!-- hote --><Commande><Produit/></Commande>"));
        QCOMPARE(doc.Root().Name(), QString("Commande"));
        TXmlNodeRefList liste;
        doc.Root().ChildrenByName("Produit", liste);
        QCOMPARE(liste.Count(), 1);
    }

    void fichierChargeGardeSaDeclarationEtSonContenu()
    {
        const QByteArray utf8 =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Kestravel>\n  <Produit Type=\"Commander\">caf\xC3\xA9</Produit>\n"
            "  <!-- note -->\n</Kestravel>\n";
        const QString chemin = Fichier("utf8.xml", utf8);
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(chemin);
        doc.SaveToFile(chemin);
        QCOMPARE(Octets(chemin), utf8);

        const QByteArray cp1252 =
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
            "<Kestravel><Produit Libelle=\"\xE9t\xE9\"/></Kestravel>\n";
        const QString chemin2 = Fichier("cp.xml", cp1252);
        TXmlDoc doc2("Kestravel");
        doc2.LoadFromFile(chemin2);
        QCOMPARE(doc2.Root().FindChild("Produit").ReadAttributeString("Libelle", ""), QString("été"));
        doc2.SaveToFile(chemin2);
        QCOMPARE(Octets(chemin2), cp1252);

        // Every byte of the code page reads as the system's converter reads
        // it and is written back the same; its five unassigned bytes are
        // refused, as that converter refuses them.
        const QByteArray nonAttribues = "\x81\x8D\x8F\x90\x9D";
        QByteArray octets;
        for (int o = 0x80; o <= 0xFF; ++o)
            if (!nonAttribues.contains(char(o)))
                octets += char(o);
        const auto document = [](const QByteArray& libelle) {
            return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel><Produit Libelle=\"" + libelle
                + "\"/></Kestravel>\n";
        };
        const QString chemin3 = Fichier("tous.xml", document(octets));
        TXmlDoc doc3("Kestravel");
        doc3.LoadFromFile(chemin3);
        QCOMPARE(doc3.Root().FindChild("Produit").ReadAttributeString("Libelle", ""), SelonIconv(octets));
        QCOMPARE(doc3.Contenu(), document(octets));
        for (const char o : nonAttribues)
            QVERIFY_THROWS_EXCEPTION(EKestravel, doc3.LoadFromMemory(document(QByteArray(1, o)), "hote.xml"));

        // A text longer than libxml2's chunks, its characters of two and
        // three bytes (and one the code page lacks) cut at every place.
        const QString long_ = QString("é€Ω").repeated(5000);
        TXmlDoc doc4("Kestravel");
        doc4.Root().WriteChildString("Libelle", long_);
        TXmlDoc relu("Kestravel");
        relu.LoadFromMemory(doc4.Contenu(), "long.xml");
        QCOMPARE(relu.Root().FindChild("Libelle").Text(), long_);
    }

    void fichierMalFormeOuAbsent()
    {
        TXmlDoc doc("Kestravel");
        doc.Root().AddChild("Garde");
        const QString chemin = Fichier("mal.xml", "<Kestravel><Produit></Kestravel>");
        try {
            doc.LoadFromFile(chemin);
            QFAIL("un fichier mal formé doit être refusé");
        } catch (const EKestravel& e) {
            QVERIFY(e.Message().contains("n'est pas un document XML valide"));
            QVERIFY(e.Message().contains(chemin));
        }
        // The document is left as it was.
        QVERIFY(!doc.Root().FindChild("Garde").IsNull());
        QVERIFY_THROWS_EXCEPTION(EKestravel, doc.LoadFromFile(m_dossier.filePath("absent.xml")));
        QVERIFY_THROWS_EXCEPTION(EKestravel, doc.LoadFromFile(Fichier("vide.xml", "")));
    }

    void entitesExternesJamaisLues()
    {
        const QString secret = Fichier("secret.txt", "SECRET");
        const QByteArray xxe = "<?xml version=\"1.0\"?>\n<!DOCTYPE Kestravel [<!ENTITY x SYSTEM \"file://"
            + QFile::encodeName(secret) + "\">]>\n<Kestravel><Produit>&x;</Produit></Kestravel>";
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(Fichier("xxe.xml", xxe));
        QVERIFY(!doc.Root().FindChild("Produit").Text().contains("SECRET"));
        QVERIFY(!doc.Contenu().contains("SECRET"));
    }

    void enregistrementImpossible()
    {
        TXmlDoc doc("Kestravel");
        try {
            doc.SaveToFile(m_dossier.filePath("absent/dossier/x.xml"));
            QFAIL("un dossier absent doit être signalé");
        } catch (const EKestravel& e) {
            QVERIFY2(e.Message().contains("son dossier est introuvable"), qPrintable(e.Message()));
        }
    }

    // Control characters reach the catalogue through imports; written raw
    // they would make the host reject the whole file.
    void caracteresInterditsLaissesDeCote()
    {
        TXmlDoc doc("Kestravel");
        const TXmlNodeRef p = doc.Root().AddChild("Produit");
        const QString texte = QString::fromUtf16(
            u"a\x01"
            "b\x0B"
            "c\x0C\x1F"
            "d\tE\r\nf\uFFFE\uFFFFg");
        p.WriteChildString("Libelle", texte);
        p.WriteAttribute("Etat", texte);
        const QString chemin = m_dossier.filePath("controles.xml");
        doc.SaveToFile(chemin);
        QProcess xmllint;
        xmllint.start("xmllint", {"--noout", chemin});
        QVERIFY(xmllint.waitForFinished());
        QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());

        TXmlDoc relu("Kestravel");
        relu.LoadFromFile(chemin);
        const TXmlNodeRef q = relu.Root().FindChild("Produit");
        QCOMPARE(q.FindChild("Libelle").Text(), QString("abcd\tE\r\nfg"));
        QCOMPARE(q.ReadAttributeString("Etat", ""), QString("abcd\tE\r\nfg"));
    }

    // A loaded file goes back with its own line end; lines left alone come
    // back byte for byte.
    void finDeLigneDuFichierGardee()
    {
        for (const QByteArray& fin : {QByteArray("\r\n"), QByteArray("\r"), QByteArray("\n")}) {
            const QByteArray debut = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + fin + "<Kestravel>" + fin
                + "<!-- note -->" + fin + "<Produit Type=\"Commander\"";
            const QByteArray suite = "/>" + fin + "<Texte>a" + fin + "b</Texte>" + fin + "</Kestravel>" + fin;
            TXmlDoc doc("Kestravel");
            doc.LoadFromMemory(debut + suite, "fins.xml");
            doc.Root().FindChild("Produit").WriteAttribute("Etat", "Ok");
            doc.Root().FindChild("Texte").WriteChildString("Ajout", "x\ny");
            const QByteArray attendu = debut + " Etat=\"Ok\""
                + QByteArray(suite).replace("b</Texte>", "b<Ajout>x" + fin + "y</Ajout></Texte>");
            QCOMPARE(doc.Contenu(), attendu);
        }
    }

    // What the declared encoding cannot carry is written as a character
    // reference; where even that fails, the document is refused and the
    // file left alone.
    void ecritureFideleOuRefusee()
    {
        TXmlDoc ascii("Kestravel");
        ascii.LoadFromMemory("<?xml version=\"1.0\" encoding=\"US-ASCII\"?><Kestravel/>", "ascii.xml");
        ascii.Root().WriteChildString("Libelle", "Clé à 5 €");
        QVERIFY(ascii.Contenu().contains("Cl&#233; &#224; 5 &#8364;"));
        // The hosts' encoding: what it lacks, in a text or an attribute,
        // comes back the same.
        TXmlDoc hote("Kestravel");
        hote.LoadFromMemory("<?xml version=\"1.0\" encoding=\"windows-1252\"?><Kestravel/>", "hote.xml");
        const QString absents = QString::fromUtf8("Clé Ω ő \xF0\x9F\x94\xA7 € 5 &<>\"'");
        hote.Root().WriteChildString("Libelle", absents);
        hote.Root().WriteAttribute("Etat", absents);
        TXmlDoc relu("Kestravel");
        relu.LoadFromMemory(hote.Contenu(), "relu.xml");
        QCOMPARE(relu.Root().FindChild("Libelle").Text(), absents);
        QCOMPARE(relu.Root().ReadAttributeString("Etat", ""), absents);

        const QByteArray declare = "<?xml version=\"1.\" encoding=\"windows20127\"?><Kestravel><Produit/></Kestravel>";
        const QString chemin = Fichier("windows20127.xml", declare);
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(chemin);
        doc.Root().FindChild("Produit").WriteChildString("Libelle", "Tournevis");
        QVERIFY(doc.Contenu().contains("<Libelle>Tournevis</Libelle>"));
        doc.Root().FindChild("Produit").WriteChildString("Libelle", "Clé plate");
        try {
            doc.SaveToFile(chemin);
            QFAIL("une conversion qui échoue doit être signalée");
        } catch (const EKestravel& e) {
            QVERIFY2(e.Message().contains("ne peut pas être écrit fidèlement dans l'encodage « windows20127 »"),
                     qPrintable(e.Message()));
        }
        QCOMPARE(Octets(chemin), declare);
        QVERIFY_THROWS_EXCEPTION(EKestravel, doc.Contenu());
    }
};

QTEST_GUILESS_MAIN(TestXml)
#include "test_xml.moc"
