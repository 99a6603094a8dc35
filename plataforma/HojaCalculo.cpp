#include "HojaCalculo.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <QXmlStreamReader>

#include <xlsxwriter.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

QString nombreColumna(int columna)
{
    QString nombre;
    while (columna > 0) {
        const int resto = (columna - 1) % 26;
        nombre.prepend(QChar('A' + resto));
        columna = (columna - 1) / 26;
    }
    return nombre;
}

namespace {

bool fallar(QString *error, const QString &texto)
{
    if (error)
        *error = texto;
    return false;
}

bool sincronizar(const QString &ruta, bool esCarpeta)
{
    const QByteArray nativa = QFile::encodeName(ruta);
    const int fd = ::open(nativa.constData(), esCarpeta ? O_RDONLY | O_DIRECTORY : O_RDWR);
    if (fd < 0)
        return false;
    const bool bien = ::fsync(fd) == 0;
    return ::close(fd) == 0 && bien;
}

// The zip archive of a workbook, read with limits so that a hostile file cannot exhaust
// memory or escape the package.
class Paquete {
public:
    explicit Paquete(const QByteArray &bytes)
        : m_bytes(bytes)
    {
        zip_error_t err;
        zip_error_init(&err);
        m_fuente = zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &err);
        if (m_fuente) {
            m_zip = zip_open_from_source(m_fuente, ZIP_RDONLY | ZIP_CHECKCONS, &err);
            if (!m_zip) {
                zip_source_free(m_fuente);
                m_fuente = nullptr;
            }
        }
        zip_error_fini(&err);
    }
    ~Paquete()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    Paquete(const Paquete &) = delete;
    Paquete &operator=(const Paquete &) = delete;

    bool abierto() const { return m_zip != nullptr; }
    qint64 entradas() const { return m_zip ? zip_get_num_entries(m_zip, 0) : 0; }

    // Reads one part by its name inside the package; false when it is absent, too large or
    // damaged.
    bool leer(const QString &nombre, QByteArray *contenido, QString *error) const
    {
        const QByteArray clave = nombre.toUtf8();
        const zip_int64_t indice = zip_name_locate(m_zip, clave.constData(), 0);
        if (indice < 0)
            return fallar(error, QStringLiteral("falta la parte %1").arg(nombre));
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(indice), 0, &st) != 0)
            return fallar(error, QStringLiteral("parte ilegible %1").arg(nombre));
        if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(limitesXlsx::kMaxBytesParte))
            return fallar(error, QStringLiteral("parte demasiado grande %1").arg(nombre));
        zip_file_t *archivo = zip_fopen_index(m_zip, zip_uint64_t(indice), 0);
        if (!archivo)
            return fallar(error, QStringLiteral("parte ilegible %1").arg(nombre));
        contenido->clear();
        char bloque[65536];
        bool bien = true;
        for (;;) {
            const zip_int64_t leidos = zip_fread(archivo, bloque, sizeof bloque);
            if (leidos < 0) {
                bien = fallar(error, QStringLiteral("parte dañada %1").arg(nombre));
                break;
            }
            if (leidos == 0)
                break;
            // The declared size may lie: the limit is enforced on what really comes out.
            if (contenido->size() + leidos > limitesXlsx::kMaxBytesParte) {
                bien = fallar(error, QStringLiteral("parte demasiado grande %1").arg(nombre));
                break;
            }
            contenido->append(bloque, int(leidos));
        }
        zip_fclose(archivo);
        return bien;
    }

private:
    QByteArray m_bytes;
    zip_source_t *m_fuente = nullptr;
    zip_t *m_zip = nullptr;
};

// Resolves a relationship target against the folder of the part that names it. Targets
// that climb out of the package are refused.
bool resolverDestino(const QString &carpetaBase, const QString &destino, QString *resultado)
{
    if (destino.isEmpty() || destino.contains(QLatin1Char('\\')) || destino.contains(QLatin1Char(':')))
        return false;
    QStringList piezas;
    if (!destino.startsWith(QLatin1Char('/')) && !carpetaBase.isEmpty())
        piezas = carpetaBase.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &pieza : destino.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (pieza == QLatin1String("."))
            continue;
        if (pieza == QLatin1String("..")) {
            if (piezas.isEmpty())
                return false;
            piezas.removeLast();
            continue;
        }
        piezas << pieza;
    }
    if (piezas.isEmpty())
        return false;
    *resultado = piezas.join(QLatin1Char('/'));
    return true;
}

QString carpetaDe(const QString &parte)
{
    const int barra = parte.lastIndexOf(QLatin1Char('/'));
    return barra < 0 ? QString() : parte.left(barra);
}

QString relacionesDe(const QString &parte)
{
    const QString carpeta = carpetaDe(parte);
    const QString nombre = parte.mid(carpeta.isEmpty() ? 0 : carpeta.size() + 1);
    return (carpeta.isEmpty() ? QString() : carpeta + QLatin1Char('/')) + QStringLiteral("_rels/")
        + nombre + QStringLiteral(".rels");
}

struct Relacion {
    QString tipo;
    QString destino;
};

bool leerRelaciones(const QByteArray &xml, QHash<QString, Relacion> *relaciones, QString *error)
{
    QXmlStreamReader lector(xml);
    while (!lector.atEnd()) {
        lector.readNext();
        if (lector.isStartElement() && lector.name() == QLatin1String("Relationship")) {
            const auto a = lector.attributes();
            relaciones->insert(a.value(QLatin1String("Id")).toString(),
                               {a.value(QLatin1String("Type")).toString(),
                                a.value(QLatin1String("Target")).toString()});
        }
    }
    if (lector.hasError())
        return fallar(error, QStringLiteral("relaciones ilegibles: %1").arg(lector.errorString()));
    return true;
}

// Collects the text of every <t> of the element the reader stands on, phonetic runs aside.
QString textoDe(QXmlStreamReader &lector)
{
    QString texto;
    int profundidad = 1;
    bool enFonetica = false;
    while (profundidad > 0 && !lector.atEnd()) {
        lector.readNext();
        if (lector.isStartElement()) {
            ++profundidad;
            if (lector.name() == QLatin1String("rPh"))
                enFonetica = true;
            else if (lector.name() == QLatin1String("t") && !enFonetica) {
                texto += lector.readElementText(QXmlStreamReader::IncludeChildElements);
                --profundidad;
            }
        } else if (lector.isEndElement()) {
            --profundidad;
            if (lector.name() == QLatin1String("rPh"))
                enFonetica = false;
        }
    }
    return texto;
}

bool leerCadenas(const QByteArray &xml, QStringList *cadenas, QString *error)
{
    QXmlStreamReader lector(xml);
    while (!lector.atEnd()) {
        lector.readNext();
        if (lector.isStartElement() && lector.name() == QLatin1String("si")) {
            if (cadenas->size() >= limitesXlsx::kMaxCadenasCompartidas)
                return fallar(error, QStringLiteral("demasiadas cadenas compartidas"));
            cadenas->append(textoDe(lector));
        }
    }
    if (lector.hasError())
        return fallar(error, QStringLiteral("cadenas ilegibles: %1").arg(lector.errorString()));
    return true;
}

// "AF12" → row 12, column 32.
bool leerReferencia(QStringView ref, int *fila, int *columna)
{
    int i = 0;
    qint64 col = 0;
    while (i < ref.size() && ref[i] >= QLatin1Char('A') && ref[i] <= QLatin1Char('Z')) {
        col = col * 26 + (ref[i].unicode() - 'A' + 1);
        if (col > limitesXlsx::kMaxColumna)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 fil = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < QLatin1Char('0') || ref[i] > QLatin1Char('9'))
            return false;
        fil = fil * 10 + (ref[i].unicode() - '0');
        if (fil > limitesXlsx::kMaxFila)
            return false;
    }
    if (fil < 1)
        return false;
    *fila = int(fil);
    *columna = int(col);
    return true;
}

bool leerHoja(const QByteArray &xml, const QStringList &cadenas, CeldasHoja *celdas, QString *error)
{
    QXmlStreamReader lector(xml);
    int filaActual = 0;
    int columnaActual = 0;
    while (!lector.atEnd()) {
        lector.readNext();
        if (!lector.isStartElement())
            continue;
        if (lector.name() == QLatin1String("row")) {
            bool ok = false;
            const int r = lector.attributes().value(QLatin1String("r")).toInt(&ok);
            filaActual = ok ? r : filaActual + 1;
            if (filaActual < 1 || filaActual > limitesXlsx::kMaxFila)
                return fallar(error, QStringLiteral("fila fuera de rango"));
            columnaActual = 0;
            continue;
        }
        if (lector.name() != QLatin1String("c"))
            continue;
        const auto atributos = lector.attributes();
        int fila = filaActual;
        int columna = columnaActual + 1;
        if (atributos.hasAttribute(QLatin1String("r"))) {
            if (!leerReferencia(atributos.value(QLatin1String("r")), &fila, &columna))
                return fallar(error, QStringLiteral("referencia de celda inválida"));
        }
        if (fila < 1 || columna > limitesXlsx::kMaxColumna)
            return fallar(error, QStringLiteral("celda fuera de rango"));
        columnaActual = columna;
        const QString tipo = atributos.value(QLatin1String("t")).toString();
        QString valor;
        bool tieneValor = false;
        QString enLinea;
        bool tieneEnLinea = false;
        while (!lector.atEnd()) {
            lector.readNext();
            if (lector.isEndElement() && lector.name() == QLatin1String("c"))
                break;
            if (!lector.isStartElement())
                continue;
            if (lector.name() == QLatin1String("v")) {
                valor = lector.readElementText();
                tieneValor = true;
            } else if (lector.name() == QLatin1String("is")) {
                enLinea = textoDe(lector);
                tieneEnLinea = true;
            }
        }
        Celda celda;
        if (tipo == QLatin1String("s")) {
            if (!tieneValor)
                continue;
            bool ok = false;
            const qint64 indice = valor.trimmed().toLongLong(&ok);
            if (!ok || indice < 0 || indice >= cadenas.size())
                return fallar(error, QStringLiteral("índice de cadena inválido"));
            celda = Celda::deTexto(cadenas.at(int(indice)));
        } else if (tipo == QLatin1String("inlineStr")) {
            if (!tieneEnLinea)
                continue;
            celda = Celda::deTexto(enLinea);
        } else if (tipo == QLatin1String("str") || tipo == QLatin1String("e")) {
            if (!tieneValor)
                continue;
            celda = Celda::deTexto(valor);
        } else {
            if (!tieneValor)
                continue;
            bool ok = false;
            const double numero = valor.trimmed().toDouble(&ok);
            if (!ok)
                return fallar(error, QStringLiteral("número inválido en una celda"));
            celda = Celda::deNumero(numero);
        }
        if (qint64(celdas->size()) >= limitesXlsx::kMaxCeldas)
            return fallar(error, QStringLiteral("demasiadas celdas"));
        (*celdas)[{fila, columna}] = celda;
    }
    if (lector.hasError())
        return fallar(error, QStringLiteral("hoja ilegible: %1").arg(lector.errorString()));
    return true;
}

bool terminaEn(const QString &tipo, const char *sufijo)
{
    return tipo.endsWith(QLatin1String(sufijo));
}

} // namespace

bool leerReporteDeBytes(const QByteArray &bytes, CeldasHoja *celdas, QString *error)
{
    celdas->clear();
    Paquete paquete(bytes);
    if (!paquete.abierto())
        return fallar(error, QStringLiteral("no es un libro .xlsx"));
    if (paquete.entradas() > limitesXlsx::kMaxEntradas)
        return fallar(error, QStringLiteral("demasiadas partes en el libro"));

    QByteArray xml;
    QHash<QString, Relacion> relaciones;
    if (!paquete.leer(QStringLiteral("_rels/.rels"), &xml, error)
        || !leerRelaciones(xml, &relaciones, error))
        return false;
    QString parteLibro;
    for (const Relacion &r : std::as_const(relaciones)) {
        if (terminaEn(r.tipo, "/officeDocument")) {
            if (!resolverDestino(QString(), r.destino, &parteLibro))
                return fallar(error, QStringLiteral("destino del libro fuera del paquete"));
            break;
        }
    }
    if (parteLibro.isEmpty())
        return fallar(error, QStringLiteral("el paquete no declara un libro"));

    QHash<QString, Relacion> relLibro;
    if (!paquete.leer(relacionesDe(parteLibro), &xml, error) || !leerRelaciones(xml, &relLibro, error))
        return false;
    if (!paquete.leer(parteLibro, &xml, error))
        return false;

    QString idHoja;
    {
        QXmlStreamReader lector(xml);
        while (!lector.atEnd()) {
            lector.readNext();
            if (lector.isStartElement() && lector.name() == QLatin1String("sheet")
                && lector.attributes().value(QLatin1String("name")) == kNombreHojaReporte()) {
                for (const auto &a : lector.attributes()) {
                    if (a.name() == QLatin1String("id"))
                        idHoja = a.value().toString();
                }
                break;
            }
        }
        if (lector.hasError())
            return fallar(error, QStringLiteral("libro ilegible: %1").arg(lector.errorString()));
    }
    if (idHoja.isEmpty() || !relLibro.contains(idHoja))
        return fallar(error, QStringLiteral("el libro no tiene la hoja Reporte"));

    const QString base = carpetaDe(parteLibro);
    QString parteHoja;
    if (!resolverDestino(base, relLibro.value(idHoja).destino, &parteHoja))
        return fallar(error, QStringLiteral("destino de la hoja fuera del paquete"));

    QStringList cadenas;
    for (const Relacion &r : std::as_const(relLibro)) {
        if (!terminaEn(r.tipo, "/sharedStrings"))
            continue;
        QString parteCadenas;
        if (!resolverDestino(base, r.destino, &parteCadenas))
            return fallar(error, QStringLiteral("destino de cadenas fuera del paquete"));
        if (!paquete.leer(parteCadenas, &xml, error) || !leerCadenas(xml, &cadenas, error))
            return false;
        break;
    }

    if (!paquete.leer(parteHoja, &xml, error))
        return false;
    return leerHoja(xml, cadenas, celdas, error);
}

bool LibroXlsx::leerReporte(const QString &ruta, CeldasHoja *celdas, QString *error)
{
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return fallar(error, QStringLiteral("no se puede abrir %1: %2").arg(ruta, archivo.errorString()));
    if (archivo.size() > limitesXlsx::kMaxBytesParte)
        return fallar(error, QStringLiteral("libro demasiado grande"));
    const QByteArray bytes = archivo.readAll();
    if (archivo.error() != QFileDevice::NoError)
        return fallar(error, QStringLiteral("no se puede leer %1").arg(ruta));
    return leerReporteDeBytes(bytes, celdas, error);
}

bool LibroXlsx::escribirLibro(const QString &ruta, const CeldasHoja &celdas, QString *error)
{
    return escribirXlsx(ruta, kNombreHojaReporte(), celdas, error);
}

bool escribirXlsx(const QString &ruta, const QString &nombreHoja, const CeldasHoja &celdas,
                  QString *error)
{
    const QFileInfo destino(ruta);
    const QString carpeta = destino.absolutePath();
    // The new workbook is completed beside the old one and then renamed over it, so that
    // the folder always holds one whole workbook.
    const QString temporal = QDir(carpeta).filePath(QStringLiteral(".%1.%2.tmp")
                                                        .arg(destino.fileName())
                                                        .arg(QCoreApplication::applicationPid()));
    // A save that was cut short (power loss, killed process) may have left its temporary.
    const QStringList restos = QDir(carpeta).entryList(
        {QStringLiteral(".%1.*.tmp").arg(destino.fileName())}, QDir::Files | QDir::Hidden);
    for (const QString &resto : restos)
        QFile::remove(QDir(carpeta).filePath(resto));
    const QByteArray nativaTemporal = QFile::encodeName(temporal);

    lxw_workbook *libro = workbook_new(nativaTemporal.constData());
    if (!libro)
        return fallar(error, QStringLiteral("no se puede crear el libro en %1").arg(carpeta));
    lxw_worksheet *hoja = workbook_add_worksheet(libro, nombreHoja.toUtf8().constData());
    bool bien = hoja != nullptr;
    for (auto it = celdas.begin(); bien && it != celdas.end(); ++it) {
        const auto fila = lxw_row_t(it->first.first - 1);
        const auto columna = lxw_col_t(it->first.second - 1);
        const Celda &celda = it->second;
        lxw_error e = LXW_NO_ERROR;
        if (celda.tipo == Celda::Tipo::Numero)
            e = worksheet_write_number(hoja, fila, columna, celda.numero, nullptr);
        else if (!celda.texto.isEmpty())
            e = worksheet_write_string(hoja, fila, columna, celda.texto.toUtf8().constData(), nullptr);
        bien = e == LXW_NO_ERROR;
    }
    const lxw_error cierre = workbook_close(libro);
    if (!bien || cierre != LXW_NO_ERROR) {
        QFile::remove(temporal);
        return fallar(error, QStringLiteral("no se pudo escribir el libro: %1")
                                 .arg(QString::fromUtf8(lxw_strerror(cierre))));
    }
    if (!sincronizar(temporal, false)) {
        QFile::remove(temporal);
        return fallar(error, QStringLiteral("no se pudo asegurar el libro en disco"));
    }
    if (::rename(nativaTemporal.constData(), QFile::encodeName(ruta).constData()) != 0) {
        const int causa = errno;
        QFile::remove(temporal);
        return fallar(error, QStringLiteral("no se pudo reemplazar el libro: %1")
                                 .arg(QString::fromLocal8Bit(strerror(causa))));
    }
    sincronizar(carpeta, true);
    return true;
}
