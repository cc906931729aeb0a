#pragma once
#include <QString>
class TdmKestravel;
// Replaces the catalogue with another installation's and copies its images.
void Synchroniser(TdmKestravel& dm, const QString& racineSource, const QString& racineCible);
