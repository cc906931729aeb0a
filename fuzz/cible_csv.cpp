// The CSV parser on any bytes. Properties:
// - the records do not depend on how the file is cut into read pieces (the
//   import reads it in pieces, so a line end, quote, byte-order mark or field
//   split across two pieces must read as if whole): whole, byte by byte and in
//   pieces of a size taken from the input give the same records, line
//   numbers and end state;
// - records start on strictly increasing lines, with one field per column;
// - what the parser reads, the writer writes back so that it reads the same.

#include "core/interchange/formatcsv.h"
#include "fuzz/soutien_fuzz.h"

namespace {
QString Resume(const TLectureCsv& l)
{
    QString s = QStringLiteral("%1 enregistrements, erreur %2 ligne %3 champ %4, UTF-8 %5 :")
                    .arg(l.lignes.size())
                    .arg(int(l.erreur))
                    .arg(l.ligneErreur)
                    .arg(l.champErreur)
                    .arg(l.utf8);
    for (int i = 0; i < l.lignes.size() && i < 8; ++i) {
        QStringList champs;
        for (const QByteArray& c : l.lignes[i])
            champs << QString::fromLatin1(c.toPercentEncoding());
        s += QStringLiteral("\n    ligne %1 : %2").arg(l.numeros[i]).arg(champs.join('|'));
    }
    return s;
}

QString Ecart(const char* quoi, const TLectureCsv& a, const TLectureCsv& entier)
{
    return QStringLiteral("%1 :\n  %2\n  en entier :\n  %3").arg(quoi, Resume(a), Resume(entier));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitialiserProcessus();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* donnees, size_t taille)
{
    TEntree entree(donnees, taille);
    const int colonnes = entree.Entier(1, 14);
    const int morceau = entree.Entier(2, 9);
    const QByteArray octets = entree.Reste();

    const TLectureCsv entier = LireCsv(octets, colonnes);
    const TLectureCsv parOctet = LireCsv(octets, colonnes, 1);
    const TLectureCsv parMorceaux = LireCsv(octets, colonnes, morceau);
    VERIFIER(parOctet == entier, Ecart("octet par octet", parOctet, entier));
    VERIFIER(parMorceaux == entier, Ecart("par morceaux", parMorceaux, entier));

    for (int i = 1; i < entier.numeros.size(); ++i)
        VERIFIER(entier.numeros[i] > entier.numeros[i - 1], Resume(entier));
    for (const QByteArrayList& e : entier.lignes)
        VERIFIER(e.size() == colonnes, Resume(entier));

    // Written back behind a header line (so that nothing the parser treats
    // specially at the start of a file gets in the way), the records read the
    // same.
    QByteArray ecrit;
    AjouterChampCsv(ecrit, "x");
    TerminerLigneCsv(ecrit);
    for (const QByteArrayList& e : entier.lignes) {
        for (const QByteArray& champ : e)
            AjouterChampCsv(ecrit, champ);
        TerminerLigneCsv(ecrit);
    }
    TLectureCsv relu = LireCsv(ecrit, colonnes);
    VERIFIER(relu.erreur == TErreurCsv::Aucune && !relu.lignes.isEmpty() && relu.lignes.first().first() == "x",
             Resume(relu));
    relu.lignes.removeFirst();
    VERIFIER(relu.lignes == entier.lignes, Ecart("relu", relu, entier));
    return 0;
}
