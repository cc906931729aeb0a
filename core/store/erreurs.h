#pragma once
// Errors of the catalogue store, and the one helper for statements made
// through Qt SQL. Every failed prepare/exec/step becomes an exception
// carrying the engine's message, so no failure goes unnoticed. Statements
// that need the engine's speed or features go through basesql.h.

#include <QSqlQuery>
#include <QString>
#include <stdexcept>

class EKestravel : public std::runtime_error {
public:
    explicit EKestravel(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

class EDatabaseError : public EKestravel {
public:
    using EKestravel::EKestravel;
};

// An operation the catalogue's rules refuse (a duplicate label, a category
// still in use…): nothing was written, and the message is told to the user
// as information rather than as an error.
class ERefus : public EKestravel {
public:
    using EKestravel::EKestravel;
};

// Prepares the statement or throws EDatabaseError.
void Preparer(QSqlQuery& q, const QString& sql);
// Runs a prepared statement or throws EDatabaseError.
void Executer(QSqlQuery& q);
// Prepares and runs a statement with positional values in one call.
QSqlQuery ExecuterSql(const QSqlDatabase& db, const QString& sql, const QVariantList& valeurs = {});
// Moves to the next row of a query run by ExecuterSql: true on a row, false
// at the end; throws EDatabaseError when the engine fails on the way (a
// bare next() would tell that failure as the end of the rows).
bool Suivante(QSqlQuery& q);
