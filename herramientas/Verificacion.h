#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The check of a content folder before an exam day.
struct InformeContenido {
    QStringList problemas; // one line per problem, each naming its path
    // One line per model folder: which of its pictures have words for a screen reader.
    QStringList descripciones;
    // Warnings that do not make the content wrong: a model whose pictures, or some of them,
    // have no words for a screen reader, so that a blind student cannot take it.
    QStringList avisos;
    int imagenesCorrectas = 0;
    int documentosCorrectos = 0;
    bool correcto() const { return problemas.isEmpty(); }
    QString resumen() const;
};

// Opens a document as the station would and says why it does not open (empty when it does).
using ProbarDocumento = std::function<QString(const QString &ruta)>;

// Checks `carpetaPrograma`/Imagenes: the 264 question pictures present and decodable, the six
// reading-texts documents and the formula table present and non-empty PDFs that `probar`
// opens (when given), and nothing unexpected in the model folders. A picture's optional
// description (`…_P7.txt`) must be a small UTF-8 text.
InformeContenido verificarContenido(
    const QString &carpetaPrograma, const ProbarDocumento &probar = {});
