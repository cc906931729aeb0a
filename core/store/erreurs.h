#pragma once
// Errors of the catalogue store. Every failed prepare, bind or step becomes
// an exception carrying the engine's message, so no failure goes unnoticed;
// statements go through basesql.h.

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
