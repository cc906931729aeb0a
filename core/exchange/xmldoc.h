#pragma once
// The thin XML layer through which every exchange file with the host is
// created, loaded, walked, changed and saved (libxml2 underneath).
//
//   TXmlDoc doc = TXmlDoc::Create("Kestravel");   // or TXmlDoc doc("Kestravel");
//   doc.LoadFromFile(chemin);                      // optional
//   TXmlNodeRef racine = doc.Root();  …            // work from the root down
//   doc.SaveToFile(chemin);
//
// Names and values cross the layer as QString; libxml2 converts them to the
// file's encoding when saving. Element and attribute names are compared
// exactly, case included. Nothing is reformatted: no indentation or line
// breaks are added between elements, and a loaded file is written back with
// the line end it was read with.

#include <QString>
#include <QVector>

struct _xmlDoc;
struct _xmlNode;

class TXmlDoc;
class TXmlNodeRefList;

// A handle on one node of a document. It does not own the node and is valid
// only while its document lives. A default-constructed handle is "no node":
// the searching operations return it when nothing is found.
class TXmlNodeRef {
public:
    TXmlNodeRef() = default;
    explicit TXmlNodeRef(_xmlNode* noeud) : m_noeud(noeud) {}

    bool IsNull() const { return m_noeud == nullptr; }
    _xmlNode* Node() const { return m_noeud; }
    // Element name, and the whole text content (for readers and tests).
    QString Name() const;
    QString Text() const;

    // First child element of that name, or no node.
    TXmlNodeRef FindChild(const QString& nom) const;
    // FindChild, or AddChild when there is none.
    TXmlNodeRef FindOrAddChild(const QString& nom) const;
    // Appends a new empty child element after the existing children.
    TXmlNodeRef AddChild(const QString& nom) const;
    // FindOrAddChild, then replaces the child's whole text content. The
    // characters XML 1.0 forbids (control characters other than tab, line
    // feed and carriage return) are left out, here and in WriteAttribute:
    // one of them would make the host reject the whole file.
    void WriteChildString(const QString& nom, const QString& texte) const;
    void WriteChildInteger(const QString& nom, qint32 valeur) const;
    // Adds or replaces the attribute.
    void WriteAttribute(const QString& nom, const QString& valeur) const;
    // The attribute's value (empty when empty), or the default when absent.
    QString ReadAttributeString(const QString& nom, const QString& defaut) const;
    // The attribute as a decimal 32-bit integer (optional sign); the default
    // when absent or not such an integer.
    qint32 ReadAttributeInteger(const QString& nom, qint32 defaut) const;
    // Appends (without clearing) one handle per direct child element of that
    // name, in document order; grandchildren are not visited.
    void ChildrenByName(const QString& nom, TXmlNodeRefList& liste) const;

    bool operator==(const TXmlNodeRef& autre) const { return m_noeud == autre.m_noeud; }
    bool operator!=(const TXmlNodeRef& autre) const { return m_noeud != autre.m_noeud; }

private:
    _xmlNode* m_noeud = nullptr;
};

// An ordered list of node handles.
class TXmlNodeRefList {
public:
    int Count() const { return int(m_noeuds.size()); }
    // Appends the handle; no node is ignored.
    void Add(const TXmlNodeRef& noeud);
    // The handle at the index (from 0), or no node when the index is out of range.
    TXmlNodeRef Get(int indice) const;

private:
    QVector<TXmlNodeRef> m_noeuds;
};

// The document. It owns the libxml2 tree; every handle taken from it is
// stale once it is destroyed or once LoadFromFile has replaced the tree.
class TXmlDoc {
public:
    // Create: an empty document declared "windows-1252" holding one empty
    // root element of that name. The name is kept to find the root again
    // after LoadFromFile.
    explicit TXmlDoc(const QString& nomRacine);
    static TXmlDoc Create(const QString& nomRacine) { return TXmlDoc(nomRacine); }
    ~TXmlDoc();
    TXmlDoc(const TXmlDoc&) = delete;
    TXmlDoc& operator=(const TXmlDoc&) = delete;

    // Parses the file, replacing the whole document and its declaration. The
    // root is then the first top-level element named as at creation, or else
    // the document's own root element. No network access, no DTD loading, no
    // external entities. Throws EKestravel (French message) on a missing,
    // unreadable or malformed file; the document is then left as it was.
    // Returns the bytes read.
    QByteArray LoadFromFile(const QString& chemin);
    // The same from bytes already read; `nom` names them in messages.
    void LoadFromMemory(const QByteArray& contenu, const QString& nom);
    // Writes Contenu() to a temporary file renamed over `chemin`, so a
    // failure leaves any old file whole. Throws EKestravel, whose message
    // says whether the disk is full or the file not writable.
    void SaveToFile(const QString& chemin) const;
    // The document serialised in its declared encoding with its line end,
    // checked: it is parsed back and must give the same document. Throws
    // EKestravel when the encoding cannot carry it (a character with no
    // form in it where no character reference may stand, a converter that
    // fails): such a file cannot be written back faithfully.
    QByteArray Contenu() const;

    TXmlNodeRef Root() const { return m_racine; }
    const QString& RootName() const { return m_nomRacine; }

private:
    void TrouverRacine();

    _xmlDoc* m_doc = nullptr;
    TXmlNodeRef m_racine;
    QString m_nomRacine;
    QByteArray m_finLigne = "\n";
};
