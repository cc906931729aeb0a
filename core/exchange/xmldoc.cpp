#include "core/exchange/xmldoc.h"

#include "core/exchange/remplacementfichier.h"
#include "core/store/codepage.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <QFile>
#include <cerrno>
#include <limits>
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
using XmlDocument = std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)>;
using XmlContexte = std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)>;

// libxml2 converts windows-1252, the hosts' encoding, through the system's
// iconv, which loads a converter module at each sale's first document: the
// code page's own table does it here, with the same refusals (the five
// unassigned bytes are an error when read; a character it lacks is
// written as a character reference, as libxml2 does for any encoding).
// Both return the bytes written and leave in `lu` the bytes consumed; -2
// stops at a byte or character that has no counterpart.
int LireWindows1252(unsigned char* sortie, int* ecrits, const unsigned char* entree, int* lu)
{
    const unsigned char *e = entree, *const finE = entree + *lu;
    unsigned char *s = sortie, *const finS = sortie + *ecrits;
    int code = 0;
    for (; e < finE; ++e) {
        const char32_t c = DepuisWindows1252(*e);
        if (c == 0 && *e != 0) {
            code = -2;
            break;
        }
        const int taille = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (finS - s < taille)
            break;
        s += xmlCopyCharMultiByte(s, int(c));
    }
    *ecrits = int(s - sortie);
    *lu = int(e - entree);
    return code == 0 ? *ecrits : code;
}

int EcrireWindows1252(unsigned char* sortie, int* ecrits, const unsigned char* entree, int* lu)
{
    if (!entree) {  // libxml2's opening call: nothing to write
        *ecrits = 0;
        *lu = 0;
        return 0;
    }
    const unsigned char *e = entree, *const finE = entree + *lu;
    unsigned char *s = sortie, *const finS = sortie + *ecrits;
    int code = 0;
    while (e < finE && s < finS) {
        // libxml2's buffers hold valid UTF-8; a sequence cut at the end of
        // this chunk waits for the next one.
        int taille = int(finE - e);
        const int c = xmlGetUTF8Char(e, &taille);
        if (c < 0)
            break;
        const int octet = VersWindows1252(char32_t(c));
        if (octet < 0) {
            code = -2;
            break;
        }
        *s++ = static_cast<unsigned char>(octet);
        e += taille;
    }
    *ecrits = int(s - sortie);
    *lu = int(e - entree);
    return code == 0 ? *ecrits : code;
}

// Once per process, before the first document.
void PreparerLibxml()
{
    static const bool pret = xmlNewCharEncodingHandler(EncodageCree, LireWindows1252, EcrireWindows1252) != nullptr;
    (void)pret;
}

// The host's file is untrusted: no network, no DTD loaded, no entity
// substituted, libxml2's limits on sizes and depth kept; nothing printed.
const int OptionsLecture = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// XML 1.0 allows tab, line feed, carriage return and the characters from
// U+0020 on, except U+FFFE and U+FFFF.
bool InterditEnXml(char16_t c) { return (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c >= 0xFFFE; }

QString SansCaracteresInterdits(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && !InterditEnXml(s[i].unicode()))
        ++i;
    if (i == s.size())
        return s;
    QString r = s.left(i);
    for (; i < s.size(); ++i)
        if (!InterditEnXml(s[i].unicode()))
            r += s[i];
    return r;
}

#if LIBXML_VERSION >= 21200
using ErreurXml = const xmlError*;
#else
using ErreurXml = xmlError*;
#endif

// Keeps libxml2's messages while it writes, instead of their going to
// standard error, so a failed conversion is reported as a failed save.
class TCaptureErreurs {
public:
    TCaptureErreurs() { xmlSetStructuredErrorFunc(this, &TCaptureErreurs::Recevoir); }
    ~TCaptureErreurs() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    TCaptureErreurs(const TCaptureErreurs&) = delete;
    TCaptureErreurs& operator=(const TCaptureErreurs&) = delete;
    bool Aucune() const { return m_nombre == 0; }
    const QString& Premiere() const { return m_premiere; }

private:
    static void Recevoir(void* moi, ErreurXml e)
    {
        auto* capture = static_cast<TCaptureErreurs*>(moi);
        if (capture->m_nombre++ == 0 && e && e->message)
            capture->m_premiere = QString::fromUtf8(e->message).trimmed();
    }
    int m_nombre = 0;
    QString m_premiere;
};

// The document serialised in `encodage` (null: UTF-8); empty with the
// first message when libxml2 reported any error on the way.
QByteArray Serialiser(xmlDoc* doc, const char* encodage, QString& erreur)
{
    TCaptureErreurs capture;
    xmlChar* tampon = nullptr;
    int taille = 0;
    xmlDocDumpFormatMemoryEnc(doc, &tampon, &taille, encodage, 0);
    QByteArray r;
    if (tampon && capture.Aucune())
        r = QByteArray(reinterpret_cast<const char*>(tampon), taille);
    else
        erreur = capture.Premiere();
    xmlFree(tampon);
    return r;
}

// The same nodes in the same order, with the same names, texts and
// attributes. The declarations of a document type are compared by name only
// (their nodes are not plain nodes); the reading checks their form.
bool MemeArbre(const xmlNode* a, const xmlNode* b)
{
    for (; a && b; a = a->next, b = b->next) {
        if (a->type != b->type || !xmlStrEqual(a->name, b->name))
            return false;
        if (a->type == XML_DTD_NODE)
            continue;
        if (!xmlStrEqual(a->content, b->content))
            return false;
        if (a->type == XML_ELEMENT_NODE) {
            if ((a->ns == nullptr) != (b->ns == nullptr) || (a->ns && !xmlStrEqual(a->ns->href, b->ns->href)))
                return false;
            const xmlAttr *x = a->properties, *y = b->properties;
            for (; x && y; x = x->next, y = y->next)
                if (!xmlStrEqual(x->name, y->name) || !MemeArbre(x->children, y->children))
                    return false;
            if (x || y)
                return false;
        }
        // An entity reference's children are the entity's, shared.
        if (a->type != XML_ENTITY_REF_NODE && !MemeArbre(a->children, b->children))
            return false;
    }
    return a == b;
}

// Whether the written bytes could hold something else than the tree, so
// that only reading them back tells: a name, comment, instruction or CDATA
// section (none can hold a character reference) outside ASCII, a namespace,
// a character XML forbids, any node but elements and texts. Elements and
// texts alone, with ASCII names, are written faithfully in UTF-8 and in
// the hosts' windows-1252, where libxml2 writes a character the encoding
// lacks as a reference (other encodings' converters may not).
bool EcritureIncertaine(const xmlNode* n)
{
    const auto nonAscii = [](const xmlChar* t) {
        for (; t && *t; ++t)
            if (*t >= 0x80)
                return true;
        return false;
    };
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF in UTF-8.
    const auto interdit = [](const xmlChar* t) {
        for (; t && *t; ++t)
            if ((*t < 0x20 && *t != '\t' && *t != '\n' && *t != '\r') ||
                (t[0] == 0xEF && t[1] == 0xBF && (t[2] == 0xBE || t[2] == 0xBF)))
                return true;
        return false;
    };
    for (; n; n = n->next) {
        if (n->type == XML_TEXT_NODE) {
            if (interdit(n->content))
                return true;
            continue;
        }
        if (n->type != XML_ELEMENT_NODE || n->ns || nonAscii(n->name))
            return true;
        for (const xmlAttr* a = n->properties; a; a = a->next)
            if (a->ns || nonAscii(a->name) || EcritureIncertaine(a->children))
                return true;
        if (EcritureIncertaine(n->children))
            return true;
    }
    return false;
}

// The line end of a file: that of its first line (LF when it has none). Only
// for bytes that spell ASCII: in UTF-16 or UTF-32 a line end is not one byte.
QByteArray FinDeLigne(const QByteArray& contenu)
{
    if (contenu.size() < 2 || contenu[0] == '\0' || contenu[1] == '\0')
        return "\n";
    const qsizetype lf = contenu.indexOf('\n');
    const qsizetype cr = QByteArrayView(contenu).first(lf < 0 ? contenu.size() : lf).indexOf('\r');
    if (cr < 0)
        return "\n";
    return cr + 1 == lf ? QByteArray("\r\n") : QByteArray("\r");
}

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
    const QByteArray b = Utf8(SansCaracteresInterdits(texte));
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
    const QByteArray n = Utf8(nom), v = Utf8(SansCaracteresInterdits(valeur));
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
    PreparerLibxml();
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

QByteArray TXmlDoc::LoadFromFile(const QString& chemin)
{
    const QString contexte = QStringLiteral("Impossible de lire le fichier « %1 ».").arg(chemin);
    QFile f(chemin);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly))
        throw EKestravel(MessageFichier(f, chemin, false, contexte, errno));
    const QByteArray contenu = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EKestravel(MessageFichier(f, chemin, false, contexte, errno));
    LoadFromMemory(contenu, chemin);
    return contenu;
}

void TXmlDoc::LoadFromMemory(const QByteArray& contenu, const QString& nom)
{
    if (contenu.size() > std::numeric_limits<int>::max())
        throw EKestravel(QStringLiteral("Le fichier « %1 » est trop volumineux.").arg(nom));
    XmlContexte ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt)
        throw EKestravel(QStringLiteral("Mémoire insuffisante pour lire le fichier « %1 ».").arg(nom));
    const QByteArray url = QFile::encodeName(nom);
    xmlDoc* nouveau = xmlCtxtReadMemory(ctxt.get(), contenu.constData(), int(contenu.size()), url.constData(), nullptr,
                                        OptionsLecture);
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
                             .arg(nom)
                             .arg(ligne)
                             .arg(detail));
    }
    xmlFreeDoc(m_doc);
    m_doc = nouveau;
    m_finLigne = FinDeLigne(contenu);
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
    // A loaded document keeps the encoding of its own declaration (none: UTF-8).
    const char* encodage = reinterpret_cast<const char*>(m_doc->encoding);
    const QString nomEncodage = encodage ? QString::fromUtf8(encodage) : QStringLiteral("UTF-8");
    const auto infidele = [&nomEncodage](const QString& detail) {
        return EKestravel(QStringLiteral("Le document XML ne peut pas être écrit fidèlement dans l'encodage « %1 » "
                                         "qu'il déclare : %2")
                              .arg(nomEncodage, detail.isEmpty() ? QStringLiteral("échec de la conversion") : detail));
    };
    QString erreur;
    QByteArray r = Serialiser(m_doc, encodage, erreur);
    if (r.isEmpty())
        throw infidele(erreur);
    // libxml2 writes LF only (and a carriage return of a text as a character
    // reference), so every LF byte is a line end.
    if (m_finLigne != "\n" && r.size() > 1 && r[0] == '<' && r[1] != '\0')
        r.replace('\n', m_finLigne);

    // Parsed back, the bytes must give the same document (a request of ten
    // thousand lines spends a fifth of its time there when it is read back).
    const bool sure = !encodage || nomEncodage.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
                      nomEncodage.compare("windows-1252", Qt::CaseInsensitive) == 0;
    if (sure && !EcritureIncertaine(m_doc->children))
        return r;
    XmlContexte ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt)
        throw EKestravel(QStringLiteral("Mémoire insuffisante pour vérifier un document XML."));
    XmlDocument relu(xmlCtxtReadMemory(ctxt.get(), r.constData(), int(r.size()), nullptr, nullptr, OptionsLecture),
                     xmlFreeDoc);
    if (!relu || !ctxt->wellFormed) {
        const xmlError* e = xmlCtxtGetLastError(ctxt.get());
        throw infidele(e && e->message ? QString::fromUtf8(e->message).trimmed() : QString());
    }
    if (!MemeArbre(m_doc->children, relu->children))
        throw infidele(QStringLiteral("des caractères n'y ont pas de forme"));
    return r;
}

void TXmlDoc::SaveToFile(const QString& chemin) const { TRemplacementFichier(chemin, Contenu()).Publier(); }
