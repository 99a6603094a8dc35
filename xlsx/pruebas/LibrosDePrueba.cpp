#include "LibrosDePrueba.h"

#include "LectorXlsx.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QByteArray kRels
    = "<?xml version=\"1.0\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";

QByteArray relacionesLibro(const QByteArray &destinoHoja)
{
    return "<?xml version=\"1.0\"?><Relationships "
           "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
           "Target=\"worksheets/otra.xml\"/>"
           "<Relationship Id=\"rId7\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
           "Target=\""
        + destinoHoja
        + "\"/><Relationship Id=\"rId9\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
          "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
}

const QByteArray kCadenas
    = "<?xml version=\"1.0\"?><sst "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" "
      "uniqueCount=\"2\"><si><t>Matematica</t></si><si><r><t>Len</t></r><r><t>gua</t></"
      "r><rPh><t>x</t></rPh></si></sst>";

} // namespace

// A package made part by part, for readers' cases no writer of ours would produce.
QByteArray empaquetar(const Partes &partes, zip_int32_t compresion)
{
    QTemporaryDir dir;
    const QByteArray ruta = QFile::encodeName(dir.filePath("p.xlsx"));
    int err = 0;
    zip_t *z = zip_open(ruta.constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    QList<QByteArray> datos; // libzip reads the buffers when the archive is closed
    for (const auto &[nombre, contenido] : partes) {
        datos << contenido;
        zip_source_t *s
            = zip_source_buffer(z, datos.last().constData(), zip_uint64_t(datos.last().size()), 0);
        const zip_int64_t i = zip_file_add(z, nombre.toUtf8().constData(), s, ZIP_FL_OVERWRITE);
        zip_set_file_compression(z, zip_uint64_t(i), compresion, 0);
    }
    zip_close(z);
    QFile f(dir.filePath("p.xlsx"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray libro(const QByteArray &hojas)
{
    return "<?xml version=\"1.0\"?><workbook "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
           "relationships\"><sheets>"
        + hojas + "</sheets></workbook>";
}

QByteArray hoja(const QByteArray &filas)
{
    return "<?xml version=\"1.0\"?><worksheet "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
        + filas + "</sheetData></worksheet>";
}

// Reporte is the second sheet, behind another one of the same shape.
Partes paqueteBase(const QByteArray &filasReporte, const QByteArray &destino)
{
    return { { "_rels/.rels", kRels },
        { "xl/workbook.xml",
            libro("<sheet name=\"Otra\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Reporte\" "
                  "sheetId=\"2\" r:id=\"rId7\"/>") },
        { "xl/_rels/workbook.xml.rels", relacionesLibro(destino) },
        { "xl/sharedStrings.xml", kCadenas },
        { "xl/worksheets/otra.xml", hoja("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c></row>") },
        { "xl/worksheets/sheet2.xml", hoja(filasReporte) } };
}

Partes conParte(Partes partes, const QString &nombre, const QByteArray &contenido)
{
    for (auto &p : partes) {
        if (p.first == nombre)
            p.second = contenido;
    }
    return partes;
}

QByteArray anidado(const QByteArray &abre, const QByteArray &cierra, int niveles)
{
    return abre.repeated(niveles) + cierra.repeated(niveles);
}

CeldasHoja celdasDeLibro(const QString &ruta)
{
    QFile archivo(ruta);
    CeldasHoja celdas;
    if (!archivo.open(QIODevice::ReadOnly) || !leerReporteDeBytes(archivo.readAll(), &celdas).ok())
        qWarning("no se pudo leer %s", qPrintable(ruta));
    return celdas;
}

// A row of the report as the station writes it.
CeldasFila filaDePrueba(const QString &letra)
{
    CeldasFila f;
    f[1] = Celda::deTexto("EE0310002");
    f[3] = Celda::deNumero(2);
    f[9] = Celda::deTexto("Matematica");
    for (int c = 11; c <= 32; ++c)
        f[c] = Celda::deTexto(letra);
    return f;
}

void escribirLibroDePrueba(const QString &ruta, const CeldasHoja &celdas)
{
    EscritorLibro escritor(ruta, QFileInfo(ruta).absolutePath());
    const int hoja = escritor.agregarHoja(kNombreHojaReporte());
    for (const auto &[pos, celda] : celdas)
        escritor.escribir(hoja, pos.first, pos.second, celda);
    if (const Resultado r = escritor.cerrar(); !r.ok())
        qFatal("no se pudo escribir %s: %s", qPrintable(ruta), qPrintable(r.texto()));
}
