#pragma once

#include "Resultado.h"
#include "TokenizadorXml.h"
#include "Xlsx.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>

typedef struct zip zip_t;
typedef struct zip_source zip_source_t;

// The zip package of a workbook, opened read-only with limits, so that a hostile file can
// neither exhaust memory nor escape the package. Shared by the reader and the writer.
class PaqueteXlsx {
public:
    explicit PaqueteXlsx(const QByteArray &bytes);
    // Opened from disk, read part by part: for workbooks too large to hold in memory.
    static PaqueteXlsx deArchivo(const QString &ruta);
    ~PaqueteXlsx();
    PaqueteXlsx(PaqueteXlsx &&otro) noexcept;
    PaqueteXlsx(const PaqueteXlsx &) = delete;
    PaqueteXlsx &operator=(const PaqueteXlsx &) = delete;
    PaqueteXlsx &operator=(PaqueteXlsx &&) = delete;

    // Ok when the package opened and is not too large.
    Resultado estado() const { return falloLibro(m_estado); }

    // Hands the inflated part to `alBloque` in pieces; a part larger than `maxBytes` is
    // refused on what really comes out, whatever its header declares.
    Resultado leerParte(const QString &nombre, qint64 maxBytes,
        const std::function<bool(const char *datos, qint64 largo)> &alBloque) const;
    Resultado leerParte(const QString &nombre, QByteArray *contenido) const;
    // Whether the package has a part of that name.
    bool tieneParte(const QString &nombre) const;

    // The parts behind the sheet called `nombreHoja`: the sheet itself and the shared strings
    // (empty when the workbook has none).
    Resultado buscarHoja(
        const QString &nombreHoja, QString *parteHoja, QString *parteCadenas) const;

    // A copy of the package, built in memory, with the part `parte` replaced by `contenido`
    // (compressed) and every other part copied as it is, in the same order.
    Resultado conParteReemplazada(
        const QString &parte, const QByteArray &contenido, QByteArray *nuevo) const;
    // The same with several parts given by name; a part the package lacks is added at the end.
    Resultado conPartes(const std::map<QString, QByteArray> &partes, QByteArray *nuevo) const;
    // The first part not in `excepto` that differs from `otro` in name, order, size or checksum,
    // or that `otro` has beyond this package's parts; empty when there is none. Parts named in
    // `excepto` may be added at the end.
    QString primeraDiferencia(const PaqueteXlsx &otro, const QStringList &excepto) const;

private:
    PaqueteXlsx() = default;
    void abrir(zip_source_t *fuente);

    QByteArray m_bytes;
    zip_t *m_zip = nullptr;
    CausaFallo m_estado = CausaFallo::NoEsZip;
};

// Feeds a part to the tokenizer in pieces and calls `alToken` for every token, refusing
// malformed XML and nesting deeper than the limit. No recursion: hostile depth cannot
// exhaust the stack. `alToken` returns an ok Resultado to go on.
Resultado recorrerXml(const PaqueteXlsx &paquete, const QString &parte, qint64 maxBytes,
    const std::function<Resultado(const TokenizadorXml &, TokenizadorXml::Token)> &alToken);
