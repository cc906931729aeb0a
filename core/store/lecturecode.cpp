#include "core/store/lecturecode.h"

#include "core/store/erreurs.h"
#include "core/store/indexannexes.h"

TResultatRecherche ChercherCode(const TBaseSql& base, const TCritereRecherche& critere)
{
    TResultatRecherche resultat;
    const QString code = PlierCode(critere.texte.trimmed());
    if (code.isEmpty())
        return resultat;
    // Two lookups, one per index; a product whose two codes are both the
    // text comes once.
    QString sql = QStringLiteral("SELECT %1 FROM Produit p WHERE lower(p.Reference) = ?")
                      .arg(QLatin1String(ColonnesLigneProduit));
    QString autre = QStringLiteral("SELECT %1 FROM Produit p WHERE lower(p.CodeExport) = ?")
                        .arg(QLatin1String(ColonnesLigneProduit));
    if (critere.externe >= 0) {
        sql += QStringLiteral(" AND p.Externe = ?");
        autre += QStringLiteral(" AND p.Externe = ?");
    }
    sql = QStringLiteral("SELECT * FROM (%1 UNION %2) AS trouves ORDER BY 1, 2, 3").arg(sql, autre);
    try {
        TInstructionSql q(base, sql);
        int n = 0;
        for (int i = 0; i < 2; ++i) {
            q.LierTexte(++n, code);
            if (critere.externe >= 0)
                q.LierEntier(++n, critere.externe);
        }
        GarderLignes(q, critere, resultat);
    } catch (const EDatabaseError& e) {
        resultat.erreur = e.Message();
        resultat.lignes = TLignesProduits();
    }
    return resultat;
}
