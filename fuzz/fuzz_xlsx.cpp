// libFuzzer target over the results-workbook reader and the row editor. Every input is first
// tokenized as XML whole and in small pieces: the tokens must not depend on where the
// archive cuts the part. Inputs starting with
// "xlsx:" are read as whole files; any other input is cut at "\n@@\n" into the XML parts of a
// package, which is zipped first, so that the mutations reach the XML readers behind the
// archive checks. A workbook the reader accepts is then saved over as the station does: the
// editor must either refuse it or give a workbook that reads back with exactly the new row.
#include "EscritorXlsx.h"
#include "LectorXlsx.h"
#include "TokenizadorXml.h"

#include <QByteArray>
#include <QList>

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

const char *const kPartes[] = { "[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
    "xl/_rels/workbook.xml.rels", "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml" };

QByteArray empaquetar(const QByteArray &entrada)
{
    QList<QByteArray> trozos;
    for (qsizetype desde = 0;;) {
        const qsizetype hasta = entrada.indexOf("\n@@\n", desde);
        trozos << entrada.mid(desde, hasta < 0 ? -1 : hasta - desde);
        if (hasta < 0)
            break;
        desde = hasta + 4;
    }
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *fuente = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_source_keep(fuente);
    zip_t *z = zip_open_from_source(fuente, ZIP_TRUNCATE, &err);
    for (qsizetype i = 0; i < trozos.size() && i < qsizetype(std::size(kPartes)); ++i) {
        zip_source_t *s
            = zip_source_buffer(z, trozos[i].constData(), zip_uint64_t(trozos[i].size()), 0);
        const zip_int64_t indice = zip_file_add(z, kPartes[i], s, ZIP_FL_OVERWRITE);
        if (indice >= 0)
            zip_set_file_compression(z, zip_uint64_t(indice), ZIP_CM_STORE, 0);
        else
            zip_source_free(s);
    }
    zip_close(z);
    QByteArray paquete;
    if (zip_source_open(fuente) == 0) {
        char bloque[8192];
        zip_int64_t n;
        while ((n = zip_source_read(fuente, bloque, sizeof bloque)) > 0)
            paquete.append(bloque, qsizetype(n));
        zip_source_close(fuente);
    }
    zip_source_free(fuente);
    zip_error_fini(&err);
    return paquete;
}

// The tokens of `xml` fed in pieces of `pieza` bytes, with what each carries, and how it ended.
QByteArray tokens(const QByteArray &xml, qsizetype pieza)
{
    using Token = TokenizadorXml::Token;
    TokenizadorXml x(64);
    QByteArray traza;
    for (qsizetype desde = 0;; desde += pieza) {
        if (desde < xml.size())
            x.agregar(xml.constData() + desde, std::min(pieza, xml.size() - desde));
        else
            x.terminar();
        for (Token t = x.siguiente(); t != Token::Falta; t = x.siguiente()) {
            traza += char('0' + int(t));
            if (t == Token::Texto)
                traza += x.texto().toUtf8();
            else
                traza += x.prefijo().toByteArray() + ':'
                    + (x.es("c")          ? "c"
                            : x.es("row") ? "row"
                                          : "?");
            if (t == Token::Inicio)
                traza += x.atributo("r").toUtf8() + '|' + x.atributo("t").toUtf8();
            traza += '\n';
        }
        if (desde >= xml.size() || x.malFormado())
            break;
    }
    traza += x.malFormado() ? "mal" : x.completo() ? "bien" : "corto";
    return traza;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t tamano)
{
    QByteArray entrada
        = QByteArray::fromRawData(reinterpret_cast<const char *>(datos), qsizetype(tamano));
    if (tamano < 4096
        && tokens(entrada, qMax<qsizetype>(1, entrada.size()))
            != tokens(entrada, 1 + qsizetype(tamano % 7)))
        __builtin_trap(); // the tokens depend on how the document was cut
    const QByteArray bytes = entrada.startsWith("xlsx:") ? entrada.mid(5) : empaquetar(entrada);
    CeldasHoja celdas;
    const Resultado fallo = leerReporteDeBytes(bytes, &celdas);
    if (!fallo.ok()) {
        if (!celdas.empty())
            __builtin_trap(); // a refused workbook yields no cells
        return 0;
    }
    for (const auto &[pos, celda] : celdas) {
        if (pos.first < 1 || pos.first > limitesXlsx::kMaxFila || pos.second < 1
            || pos.second > limitesXlsx::kMaxColumna)
            __builtin_trap();
    }
    const CeldasFila fila { { 1, Celda::deTexto(QStringLiteral("EE0310002")) },
        { 3, Celda::deNumero(2) }, { 8, Celda::deTexto(QStringLiteral(" 3A <&> ")) },
        { 11, Celda::deTexto(QStringLiteral("A")) } };
    QByteArray nuevo;
    if (!reemplazarFilaEnLibro(bytes, kNombreHojaReporte(), 2, 32, fila, &nuevo).ok())
        return 0;
    CeldasHoja esperadas = celdas;
    for (int c = 1; c <= 32; ++c)
        esperadas.erase({ 2, c });
    for (const auto &[c, celda] : fila)
        esperadas[{ 2, c }] = celda;
    CeldasHoja leidas;
    if (!leerReporteDeBytes(nuevo, &leidas).ok() || leidas != esperadas)
        __builtin_trap(); // the station would have refused this save: it is proven by reading back
    return 0;
}
