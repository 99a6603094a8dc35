#include "Verificacion.h"

#include "Contenido.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>

namespace {

bool esPdf(const QString &ruta, QString *motivo)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        *motivo = QStringLiteral("no se puede leer");
        return false;
    }
    if (f.size() == 0) {
        *motivo = QStringLiteral("está vacío");
        return false;
    }
    if (f.read(5) != "%PDF-") {
        *motivo = QStringLiteral("no es un documento PDF");
        return false;
    }
    return true;
}

// Counts a good document, or names what is wrong with it.
void verificarPdf(const QString &ruta, const QString &siFalta, InformeContenido &informe)
{
    QString motivo;
    if (!QFileInfo(ruta).isFile())
        informe.problemas << QStringLiteral("%1: %2").arg(ruta, siFalta);
    else if (!esPdf(ruta, &motivo))
        informe.problemas << QStringLiteral("%1: %2").arg(ruta, motivo);
    else
        ++informe.documentosCorrectos;
}

} // namespace

QString InformeContenido::resumen() const
{
    return QStringLiteral("%1 de %2 imágenes y %3 de 7 documentos correctos; %4 problema(s)")
        .arg(imagenesCorrectas)
        .arg(2 * kModelos * kPreguntas)
        .arg(documentosCorrectos)
        .arg(problemas.size());
}

InformeContenido verificarContenido(const QString &carpetaPrograma)
{
    InformeContenido informe;
    const QString imagenes = carpetaImagenes(carpetaPrograma);
    const QFileInfo infoImagenes(imagenes);
    if (!infoImagenes.isDir()) {
        informe.problemas << (infoImagenes.exists()
                                  ? QStringLiteral("%1: es un archivo, no una carpeta").arg(imagenes)
                                  : QStringLiteral("%1: falta la carpeta de contenido").arg(imagenes));
        return informe;
    }

    for (Asignatura a : {Asignatura::Matematica, Asignatura::Lengua}) {
        for (int m = 1; m <= kModelos; ++m) {
            const QString carpeta = carpetaModelo(carpetaPrograma, a, m);
            if (!QFileInfo(carpeta).isDir()) {
                informe.problemas << QStringLiteral("%1: falta la carpeta del modelo").arg(carpeta);
                continue;
            }
            QSet<QString> esperados;
            for (int q = 1; q <= kPreguntas; ++q) {
                const QString ruta = rutaPregunta(carpetaPrograma, a, m, q);
                esperados << QFileInfo(ruta).fileName();
                const QFileInfo info(ruta);
                if (!info.isFile()) {
                    informe.problemas << QStringLiteral("%1: falta la imagen").arg(ruta);
                    continue;
                }
                QImageReader lector(ruta);
                if (lector.read().isNull()) {
                    informe.problemas << QStringLiteral("%1: imagen ilegible (%2)").arg(ruta, lector.errorString());
                    continue;
                }
                ++informe.imagenesCorrectas;
            }
            if (a == Asignatura::Lengua) {
                const QString textos = rutaTextosLengua(carpetaPrograma, m);
                esperados << QFileInfo(textos).fileName();
                verificarPdf(textos, QStringLiteral("falta el documento de textos"), informe);
            }
            const auto entradas = QDir(carpeta).entryInfoList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo &entrada : entradas) {
                if (!esperados.contains(entrada.fileName()))
                    informe.problemas << QStringLiteral("%1: no corresponde a este modelo").arg(entrada.filePath());
            }
        }
    }

    verificarPdf(rutaTablaFormulas(carpetaPrograma), QStringLiteral("falta la tabla de fórmulas"), informe);
    return informe;
}
