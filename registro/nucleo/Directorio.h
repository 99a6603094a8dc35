#pragma once

#include <QString>

#include <optional>
#include <span>

struct Establecimiento {
    const char *codigo; // "EE" and seven digits
    const char *nombre; // UTF-8, shown exactly as stored
};

std::span<const Establecimiento> directorioEstablecimientos();

// Looks the code up after removing leading and trailing spaces; the comparison is exact and
// case-sensitive. Returns the establishment's name when the code is in the directory.
std::optional<QString> buscarEstablecimiento(const QString &codigo);
