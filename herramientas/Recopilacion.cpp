#include "Recopilacion.h"

#include "ColumnasReporte.h"
#include "EscritorXlsx.h"
#include "LectorXlsx.h"
#include "PaqueteXlsx.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QStringList encabezados()
{
    QStringList h;
    for (int col = 1; col <= columnas::kUltima; ++col)
        h << columnas::titulo(col);
    h << QStringLiteral("Archivo");
    return h;
}

// Report rows of one workbook; false, with the reason, when it does not look like one.
bool filasDelLibro(const CeldasHoja &celdas, QList<QList<Celda>> *filas, QString *motivo)
{
    bool presente[kFilasReporte] = {false, false};
    for (const auto &[pos, celda] : celdas) {
        if (pos.first < 1 || pos.first > kFilasReporte || pos.second > columnas::kUltima) {
            *motivo = QStringLiteral("celda %1%2 fuera del informe").arg(nombreColumna(pos.second)).arg(pos.first);
            return false;
        }
        presente[pos.first - 1] = true;
    }
    for (int fila = 1; fila <= kFilasReporte; ++fila) {
        if (!presente[fila - 1])
            continue;
        const QString materia = nombreMateria(asignaturaDeFila(fila));
        const auto it = celdas.find({fila, columnas::kMateria});
        if (it == celdas.end() || it->second.texto != materia) {
            *motivo = QStringLiteral("la fila %1 no es de %2").arg(fila).arg(materia);
            return false;
        }
        QList<Celda> valores;
        for (int col = 1; col <= columnas::kUltima; ++col) {
            const auto c = celdas.find({fila, col});
            valores << (c == celdas.end() ? Celda::deTexto(QString()) : c->second);
        }
        filas->append(valores);
    }
    return true;
}

QString textoDe(const Celda &c)
{
    if (c.tipo == Celda::Tipo::Texto)
        return c.texto;
    return QString::number(c.numero, 'g', 15);
}

} // namespace

namespace {

// One CSV field, quoted when needed.
QString campoCsv(const QString &valor)
{
    if (!valor.contains(QLatin1Char(',')) && !valor.contains(QLatin1Char('"'))
        && !valor.contains(QLatin1Char('\n')) && !valor.contains(QLatin1Char('\r')))
        return valor;
    QString v = valor;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

bool nombreDeLibroDeAlumno(const QString &nombre)
{
    return nombre.startsWith(QLatin1String("Apl Examen - "), Qt::CaseInsensitive)
        && nombre.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

// A sheet of the merged workbook whose fingerprint is kept as it is written.
struct HojaSalida {
    EscritorLibro &escritor;
    HuellaCeldas huella;
    void escribir(int fila, int columna, const Celda &celda)
    {
        escritor.escribir(fila, columna, celda);
        huella.agregar(fila, columna, celda);
    }
};

// Reads the written workbook back from the disk: every cell must be there as written.
bool comprobarSalida(const QString &ruta, const QString &hoja, const HuellaCeldas &esperada, QString *error)
{
    const PaqueteXlsx paquete = PaqueteXlsx::deArchivo(ruta);
    HuellaCeldas leida;
    const FalloLectura fallo = recorrerHoja(
        paquete, hoja, [&leida](int fila, int columna, const Celda &c) { leida.agregar(fila, columna, c); },
        {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max()});
    if (!fallo.ok()) {
        *error = QStringLiteral("el libro escrito no se puede leer: %1").arg(fallo.texto());
        return false;
    }
    if (!(leida == esperada)) {
        *error = QStringLiteral("el libro escrito no coincide con lo recopilado (%1 de %2 celdas leídas)")
                     .arg(leida.celdas())
                     .arg(esperada.celdas());
        return false;
    }
    return true;
}

} // namespace

InformeRecopilacion recopilarResultados(const QString &salidaXlsx, const QStringList &carpetas,
                                        const std::function<void(int, int)> &progreso)
{
    InformeRecopilacion informe;
    const QFileInfo salida(salidaXlsx);
    const QString carpetaSalida = salida.absolutePath();
    informe.salidaCsv = QDir(carpetaSalida).filePath(salida.completeBaseName() + QStringLiteral(".csv"));
    if (nombreDeLibroDeAlumno(salida.fileName())) {
        informe.error = QStringLiteral("la salida %1 se llama como el libro de un alumno; elija otro nombre").arg(salidaXlsx);
        return informe;
    }
    if (!QFileInfo(carpetaSalida).isDir()) {
        informe.error = QStringLiteral("no existe la carpeta de la salida %1").arg(carpetaSalida);
        return informe;
    }

    QStringList libros;
    for (const QString &carpeta : carpetas) {
        if (!QFileInfo(carpeta).isDir()) {
            informe.omitidos << QStringLiteral("%1: no es una carpeta").arg(carpeta);
            continue;
        }
        const QDir dir(carpeta);
        for (const QString &nombre : dir.entryList({QStringLiteral("Apl Examen - *.xlsx")}, QDir::Files, QDir::Name)) {
            const QString ruta = dir.filePath(nombre);
            if (QFileInfo(ruta).canonicalFilePath() == salida.canonicalFilePath()) {
                informe.error = QStringLiteral("la salida %1 es uno de los libros a recopilar").arg(salidaXlsx);
                return informe;
            }
            libros << ruta;
        }
    }

    // Written beside its final place, read back, and only then put there.
    const QString temporal = QDir(carpetaSalida).filePath(
        QStringLiteral(".%1.%2.tmp").arg(salida.fileName()).arg(QCoreApplication::applicationPid()));
    EscritorLibro escritor(temporal, carpetaSalida, true);
    escritor.agregarHoja(QStringLiteral("Resultados"));
    HojaSalida hoja {escritor, {}};
    const QStringList cabecera = encabezados();
    for (int col = 0; col < cabecera.size(); ++col)
        hoja.escribir(1, col + 1, Celda::deTexto(cabecera[col]));

    QSaveFile csv(informe.salidaCsv);
    if (!csv.open(QIODevice::WriteOnly)) {
        informe.error = QStringLiteral("no se puede escribir %1: %2").arg(informe.salidaCsv, csv.errorString());
        return informe;
    }
    csv.write((cabecera.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());

    int fila = 1;
    for (int i = 0; i < libros.size(); ++i) {
        if (progreso)
            progreso(i, int(libros.size()));
        const QString &ruta = libros[i];
        const QString nombre = QFileInfo(ruta).fileName();
        QByteArray bytes;
        CeldasHoja celdas;
        QList<QList<Celda>> filas;
        FalloLectura fallo = leerArchivoLibro(ruta, &bytes);
        if (fallo.ok())
            fallo = leerReporteDeBytes(bytes, &celdas);
        QString motivo = fallo.texto();
        if (!fallo.ok() || !filasDelLibro(celdas, &filas, &motivo)) {
            informe.omitidos << QStringLiteral("%1: %2").arg(ruta, motivo);
            continue;
        }
        ++informe.libros;
        for (const QList<Celda> &valores : std::as_const(filas)) {
            ++fila;
            QStringList linea;
            for (int col = 0; col < valores.size(); ++col) {
                hoja.escribir(fila, col + 1, valores[col]);
                linea << campoCsv(textoDe(valores[col]));
            }
            hoja.escribir(fila, columnas::kUltima + 1, Celda::deTexto(nombre));
            linea << campoCsv(nombre);
            csv.write((linea.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());
            ++informe.filas;
        }
    }
    if (progreso)
        progreso(int(libros.size()), int(libros.size()));

    QString error;
    if (!escritor.cerrar(&error) || !comprobarSalida(temporal, QStringLiteral("Resultados"), hoja.huella, &error)) {
        QFile::remove(temporal);
        informe.error = error;
        return informe;
    }
    if (QFileInfo::exists(salidaXlsx) && !QFile::remove(salidaXlsx)) {
        QFile::remove(temporal);
        informe.error = QStringLiteral("no se puede reemplazar %1").arg(salidaXlsx);
        return informe;
    }
    if (!QFile::rename(temporal, salidaXlsx)) {
        QFile::remove(temporal);
        informe.error = QStringLiteral("no se puede escribir %1").arg(salidaXlsx);
        return informe;
    }
    if (!csv.commit())
        informe.error = QStringLiteral("no se puede escribir %1: %2").arg(informe.salidaCsv, csv.errorString());
    return informe;
}
