#include "Recopilacion.h"

#include "HojaCalculo.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr int kColumnasReporte = 32;

QStringList encabezados()
{
    QStringList h {QStringLiteral("Código de Empresa"), QStringLiteral("Nombre del Establecimiento"),
                   QStringLiteral("Sexo"), QStringLiteral("Código de Alumno/a"), QStringLiteral("Campo E"),
                   QStringLiteral("Campo F"), QStringLiteral("Turno"), QStringLiteral("Sección"),
                   QStringLiteral("Materia"), QStringLiteral("Modelo")};
    for (int q = 1; q <= 22; ++q)
        h << QStringLiteral("P%1").arg(q);
    h << QStringLiteral("Archivo");
    return h;
}

// Report rows of one workbook; false, with the reason, when it does not look like one.
bool filasDelLibro(const CeldasHoja &celdas, QList<QList<Celda>> *filas, QString *motivo)
{
    const QString materias[2] = {QStringLiteral("Matematica"), QStringLiteral("Lengua")};
    bool presente[2] = {false, false};
    for (const auto &[pos, celda] : celdas) {
        if (pos.first < 1 || pos.first > 2 || pos.second > kColumnasReporte) {
            *motivo = QStringLiteral("celda %1%2 fuera del informe").arg(nombreColumna(pos.second)).arg(pos.first);
            return false;
        }
        presente[pos.first - 1] = true;
    }
    for (int fila = 1; fila <= 2; ++fila) {
        if (!presente[fila - 1])
            continue;
        const auto it = celdas.find({fila, 9});
        if (it == celdas.end() || it->second.texto != materias[fila - 1]) {
            *motivo = QStringLiteral("la fila %1 no es de %2").arg(fila).arg(materias[fila - 1]);
            return false;
        }
        QList<Celda> valores;
        for (int col = 1; col <= kColumnasReporte; ++col) {
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

QString campoCsv(const QString &valor)
{
    if (!valor.contains(QLatin1Char(',')) && !valor.contains(QLatin1Char('"'))
        && !valor.contains(QLatin1Char('\n')) && !valor.contains(QLatin1Char('\r')))
        return valor;
    QString v = valor;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

InformeRecopilacion recopilarResultados(const QString &salidaXlsx, const QStringList &carpetas,
                                        const std::function<void(int, int)> &progreso)
{
    InformeRecopilacion informe;
    const QFileInfo salida(salidaXlsx);
    informe.salidaCsv = QDir(salida.absolutePath()).filePath(salida.completeBaseName() + QStringLiteral(".csv"));

    QStringList libros;
    for (const QString &carpeta : carpetas) {
        if (!QFileInfo(carpeta).isDir()) {
            informe.omitidos << QStringLiteral("%1: no es una carpeta").arg(carpeta);
            continue;
        }
        const QDir dir(carpeta);
        for (const QString &nombre : dir.entryList({QStringLiteral("Apl Examen - *.xlsx")}, QDir::Files, QDir::Name)) {
            const QString ruta = dir.filePath(nombre);
            // The output itself is never read back as a source.
            if (QFileInfo(ruta).absoluteFilePath() != salida.absoluteFilePath())
                libros << ruta;
        }
    }

    CeldasHoja resultado;
    const QStringList cabecera = encabezados();
    for (int col = 0; col < cabecera.size(); ++col)
        resultado[{1, col + 1}] = Celda::deTexto(cabecera[col]);
    QStringList csv {cabecera.join(QLatin1Char(','))};

    LibroXlsx xlsx;
    int fila = 1;
    for (int i = 0; i < libros.size(); ++i) {
        if (progreso)
            progreso(i, int(libros.size()));
        const QString &ruta = libros[i];
        const QString nombre = QFileInfo(ruta).fileName();
        CeldasHoja celdas;
        QString motivo;
        QList<QList<Celda>> filas;
        if (!xlsx.leerReporte(ruta, &celdas, &motivo) || !filasDelLibro(celdas, &filas, &motivo)) {
            informe.omitidos << QStringLiteral("%1: %2").arg(ruta, motivo);
            continue;
        }
        ++informe.libros;
        for (const QList<Celda> &valores : filas) {
            ++fila;
            QStringList linea;
            for (int col = 0; col < valores.size(); ++col) {
                if (valores[col].tipo == Celda::Tipo::Numero || !valores[col].texto.isEmpty())
                    resultado[{fila, col + 1}] = valores[col];
                linea << campoCsv(textoDe(valores[col]));
            }
            resultado[{fila, kColumnasReporte + 1}] = Celda::deTexto(nombre);
            linea << campoCsv(nombre);
            csv << linea.join(QLatin1Char(','));
            ++informe.filas;
        }
    }
    if (progreso)
        progreso(int(libros.size()), int(libros.size()));

    if (!escribirXlsx(salidaXlsx, QStringLiteral("Resultados"), resultado, &informe.error))
        return informe;
    QSaveFile archivoCsv(informe.salidaCsv);
    if (!archivoCsv.open(QIODevice::WriteOnly)) {
        informe.error = QStringLiteral("no se puede escribir %1: %2").arg(informe.salidaCsv, archivoCsv.errorString());
        return informe;
    }
    archivoCsv.write((csv.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    if (!archivoCsv.commit())
        informe.error = QStringLiteral("no se puede escribir %1: %2").arg(informe.salidaCsv, archivoCsv.errorString());
    return informe;
}
