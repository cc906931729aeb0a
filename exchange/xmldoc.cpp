#include "exchange/xmldoc.h"

#include "store/echecs.h"
#include "store/erreurs.h"

#include <QFile>
#include <QSaveFile>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <cerrno>
#include <memory>

namespace {
const char* const EncodageCree = "windows-1252";

// libxml2 works in UTF-8 internally.
QByteArray Utf8(const QString& s) { return s.toUtf8(); }
const xmlChar* X(const QByteArray& b) { return reinterpret_cast<const xmlChar*>(b.constData()); }
QString Texte(const xmlChar* s) { return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString(); }

struct LibererXml {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlTexte = std::unique_ptr<xmlChar, LibererXml>;

bool EstElement(const xmlNode* n, const QByteArray& nom)
{
    return n->type == XML_ELEMENT_NODE && n->name && nom == reinterpret_cast<const char*>(n->name);
}

// Replaces the node's children with one text node holding `texte` as is
// (libxml2 escapes it on output; no entity in it is interpreted).
void RemplacerTexte(xmlNode* n, const QString& texte)
{
    while (xmlNode* enfant = n->children) {
        xmlUnlinkNode(enfant);
        xmlFreeNode(enfant);
    }
    const QByteArray b = Utf8(texte);
    if (!b.isEmpty())
        xmlAddChild(n, xmlNewDocText(n->doc, X(b)));
}
}  // namespace

// --- TXmlNodeRef -------------------------------------------------------------

QString TXmlNodeRef::Name() const { return m_noeud ? Texte(m_noeud->name) : QString(); }

QString TXmlNodeRef::Text() const
{
    if (!m_noeud)
        return {};
    return Texte(XmlTexte(xmlNodeGetContent(m_noeud)).get());
}

TXmlNodeRef TXmlNodeRef::FindChild(const QString& nom) const
{
    if (!m_noeud)
        return {};
    const QByteArray b = Utf8(nom);
    for (xmlNode* n = m_noeud->children; n; n = n->next)
        if (EstElement(n, b))
            return TXmlNodeRef(n);
    return {};
}

TXmlNodeRef TXmlNodeRef::FindOrAddChild(const QString& nom) const
{
    const TXmlNodeRef trouve = FindChild(nom);
    return trouve.IsNull() ? AddChild(nom) : trouve;
}

TXmlNodeRef TXmlNodeRef::AddChild(const QString& nom) const
{
    if (!m_noeud)
        throw EKestravel(QStringLiteral("Élément XML « %1 » ajouté hors de tout document.").arg(nom));
    const QByteArray b = Utf8(nom);
    xmlNode* enfant = xmlNewDocNode(m_noeud->doc, nullptr, X(b), nullptr);
    if (!enfant || !xmlAddChild(m_noeud, enfant)) {
        xmlFreeNode(enfant);
        throw EKestravel(QStringLiteral("Impossible d'ajouter l'élément XML « %1 ».").arg(nom));
    }
    return TXmlNodeRef(enfant);
}

void TXmlNodeRef::WriteChildString(const QString& nom, const QString& texte) const
{
    RemplacerTexte(FindOrAddChild(nom).Node(), texte);
}

void TXmlNodeRef::WriteChildInteger(const QString& nom, qint32 valeur) const
{
    WriteChildString(nom, QString::number(valeur));
}

void TXmlNodeRef::WriteAttribute(const QString& nom, const QString& valeur) const
{
    if (!m_noeud)
        throw EKestravel(QStringLiteral("Attribut XML « %1 » écrit hors de tout document.").arg(nom));
    const QByteArray n = Utf8(nom), v = Utf8(valeur);
    if (!xmlSetProp(m_noeud, X(n), X(v)))
        throw EKestravel(QStringLiteral("Impossible d'écrire l'attribut XML « %1 ».").arg(nom));
}

QString TXmlNodeRef::ReadAttributeString(const QString& nom, const QString& defaut) const
{
    if (!m_noeud || m_noeud->type != XML_ELEMENT_NODE)
        return defaut;
    const QByteArray n = Utf8(nom);
    if (!xmlHasNsProp(m_noeud, X(n), nullptr))
        return defaut;
    return Texte(XmlTexte(xmlGetNoNsProp(m_noeud, X(n))).get());
}

qint32 TXmlNodeRef::ReadAttributeInteger(const QString& nom, qint32 defaut) const
{
    const QString texte = ReadAttributeString(nom, QString());
    if (texte.isEmpty())
        return defaut;
    // Optional sign and decimal digits only; anything else (blanks, hex,
    // decimals, overflow) is not a number here.
    for (int i = 0; i < texte.size(); ++i) {
        const QChar c = texte[i];
        if (!(c >= '0' && c <= '9') && !(i == 0 && (c == '+' || c == '-')))
            return defaut;
    }
    bool ok = false;
    const qint32 v = texte.toInt(&ok, 10);
    return ok ? v : defaut;
}

void TXmlNodeRef::ChildrenByName(const QString& nom, TXmlNodeRefList& liste) const
{
    if (!m_noeud)
        return;
    const QByteArray b = Utf8(nom);
    for (xmlNode* n = m_noeud->children; n; n = n->next)
        if (EstElement(n, b))
            liste.Add(TXmlNodeRef(n));
}

// --- TXmlNodeRefList ---------------------------------------------------------

void TXmlNodeRefList::Add(const TXmlNodeRef& noeud)
{
    if (!noeud.IsNull())
        m_noeuds.append(noeud);
}

TXmlNodeRef TXmlNodeRefList::Get(int indice) const
{
    return (indice >= 0 && indice < m_noeuds.size()) ? m_noeuds[indice] : TXmlNodeRef();
}

// --- TXmlDoc -----------------------------------------------------------------

TXmlDoc::TXmlDoc(const QString& nomRacine) : m_nomRacine(nomRacine)
{
    m_doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!m_doc)
        throw EKestravel(QStringLiteral("Mémoire insuffisante pour créer un document XML."));
    m_doc->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>(EncodageCree));
    // The document is empty, so this always creates the root element.
    m_racine = TXmlNodeRef(reinterpret_cast<xmlNode*>(m_doc)).FindOrAddChild(nomRacine);
}

TXmlDoc::~TXmlDoc()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

void TXmlDoc::LoadFromFile(const QString& chemin)
{
    const QString contexte = QStringLiteral("Impossible de lire le fichier « %1 ».").arg(chemin);
    QFile f(chemin);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly))
        throw EKestravel(MessageFichier(f, chemin, false, contexte, errno));
    const QByteArray contenu = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EKestravel(MessageFichier(f, chemin, false, contexte, errno));

    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt)
        throw EKestravel(QStringLiteral("Mémoire insuffisante pour lire le fichier « %1 ».").arg(chemin));
    // The host's file is untrusted: no network, no DTD loaded, no entity
    // substituted, libxml2's limits on sizes and depth kept; nothing printed.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    const QByteArray url = QFile::encodeName(chemin);
    xmlDoc* nouveau = xmlCtxtReadMemory(ctxt.get(), contenu.constData(), int(contenu.size()), url.constData(),
                                        nullptr, options);
    if (!nouveau || !ctxt->wellFormed) {
        QString detail;
        int ligne = 0;
        if (const xmlError* e = xmlCtxtGetLastError(ctxt.get())) {
            detail = QString::fromUtf8(e->message).trimmed();
            ligne = e->line;
        }
        if (nouveau)
            xmlFreeDoc(nouveau);
        throw EKestravel(QStringLiteral("Le fichier « %1 » n'est pas un document XML valide (ligne %2) : %3")
                             .arg(chemin)
                             .arg(ligne)
                             .arg(detail));
    }
    xmlFreeDoc(m_doc);
    m_doc = nouveau;
    TrouverRacine();
}

void TXmlDoc::TrouverRacine()
{
    const QByteArray nom = Utf8(m_nomRacine);
    for (xmlNode* n = m_doc->children; n; n = n->next) {
        if (EstElement(n, nom)) {
            m_racine = TXmlNodeRef(n);
            return;
        }
    }
    m_racine = TXmlNodeRef(xmlDocGetRootElement(m_doc));
}

QByteArray TXmlDoc::Contenu() const
{
    xmlChar* tampon = nullptr;
    int taille = 0;
    // A loaded document keeps the encoding of its own declaration (none: UTF-8).
    xmlDocDumpFormatMemoryEnc(m_doc, &tampon, &taille, reinterpret_cast<const char*>(m_doc->encoding), 0);
    if (!tampon)
        throw EKestravel(QStringLiteral("Impossible d'écrire le document XML dans l'encodage « %1 ».")
                             .arg(Texte(m_doc->encoding)));
    const QByteArray r(reinterpret_cast<const char*>(tampon), taille);
    xmlFree(tampon);
    return r;
}

void TXmlDoc::SaveToFile(const QString& chemin) const
{
    const QByteArray contenu = Contenu();
    const QString contexte = QStringLiteral("Impossible d'enregistrer le fichier « %1 ».").arg(chemin);
    QSaveFile f(chemin);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly))
        throw EKestravel(MessageFichier(f, chemin, true, contexte, errno, contenu.size()));
    if (f.write(contenu) != contenu.size() || !f.commit())
        throw EKestravel(MessageFichier(f, chemin, true, contexte, 0, contenu.size()));
}
