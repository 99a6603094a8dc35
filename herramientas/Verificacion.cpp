#include "Verificacion.h"

#include "Claves.h"
#include "Contenido.h"
#include "Disco.h"
#include "Entradas.h"
#include "LectorXlsx.h"
#include "PaqueteXlsx.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QStringDecoder>

#ifndef Q_OS_WIN
#include <dirent.h>
#endif

namespace {

bool esEnlace(const QFileInfo &info)
{
    return info.isSymbolicLink() || info.isJunction();
}

// Names the file system holds in bytes that are no valid text: the portable listing leaves
// them out, so the station can neither see nor delete those files. Shown with the bad bytes
// as \xNN.
QStringList nombresIlegibles(const QString &carpeta)
{
    QStringList nombres;
#ifndef Q_OS_WIN
    if (DIR *dir = ::opendir(QFile::encodeName(carpeta).constData())) {
        while (const dirent *e = ::readdir(dir)) {
            const QByteArray crudo(e->d_name);
            if (QFile::encodeName(QFile::decodeName(crudo)) == crudo)
                continue;
            QString legible;
            for (const char c : crudo)
                legible += uchar(c) < 0x80
                    ? QString(QLatin1Char(c))
                    : QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
            nombres << legible;
        }
        ::closedir(dir);
    }
#else
    // File names are UTF-16 there and always read.
    Q_UNUSED(carpeta);
#endif
    return nombres;
}

// What is wrong with a document at first sight; empty when it starts as a PDF does.
QString problemaPdf(const QString &ruta)
{
    QFile f;
    if (const Resultado abierto = abrirArchivoOrdinario(f, ruta); !abierto.ok())
        return QStringLiteral("no se puede leer: %1").arg(abierto.detalle);
    if (f.size() == 0)
        return QStringLiteral("está vacío");
    if (f.read(5) != "%PDF-")
        return QStringLiteral("no es un documento PDF");
    return {};
}

// A description the station would read: an ordinary file, small, valid UTF-8. Empty when so.
QString problemaDescripcion(const QString &ruta)
{
    constexpr qint64 kMaximo = 16 * 1024;
    QFile f;
    if (const Resultado abierto = abrirArchivoOrdinario(f, ruta); !abierto.ok())
        return QStringLiteral("no se puede leer: %1").arg(abierto.detalle);
    if (f.size() > kMaximo)
        return QStringLiteral("ocupa más de 16 KiB; la estación no la lee");
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString texto = utf8(f.readAll());
    if (utf8.hasError())
        return QStringLiteral("no está en UTF-8");
    if (texto.trimmed().isEmpty())
        return QStringLiteral("está vacía");
    return {};
}

QString listaDescripciones(const QString &carpeta, const QList<int> &preguntas)
{
    QStringList numeros;
    for (int q : preguntas)
        numeros << QString::number(q);
    return QStringLiteral("%1: descripción para el lector de pantalla en %2 de %3 preguntas%4")
        .arg(carpeta)
        .arg(preguntas.size())
        .arg(kPreguntas)
        .arg(preguntas.isEmpty() ? QString()
                                 : QStringLiteral(" (%1)").arg(numeros.join(QStringLiteral(", "))));
}

// Counts a good document, or names what is wrong with it.
void verificarPdf(const QString &ruta, const QString &siFalta, const ProbarDocumento &probar,
    InformeContenido &informe)
{
    QString motivo;
    if (tipoEntrada(ruta) == TipoEntrada::Ninguna)
        informe.problemas << QStringLiteral("%1: %2").arg(ruta, siFalta);
    else if (!(motivo = problemaPdf(ruta)).isEmpty()
        || (probar && !(motivo = probar(ruta)).isEmpty()))
        informe.problemas << QStringLiteral("%1: %2").arg(ruta, motivo);
    else
        ++informe.documentosCorrectos;
}

// An answer key left where a student could open it.
void buscarClaves(const QString &carpetaPrograma, InformeContenido &informe)
{
    QStringList libros;
    for (const QFileInfo &f :
        QDir(carpetaPrograma)
            .entryInfoList({ QStringLiteral("*.xlsx") }, QDir::Files | QDir::Hidden))
        libros << f.filePath();
    QDirIterator enImagenes(carpetaImagenes(carpetaPrograma), { QStringLiteral("*.xlsx") },
        QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (enImagenes.hasNext())
        libros << enImagenes.next();
    for (const QString &ruta : std::as_const(libros)) {
        QByteArray bytes;
        QString hoja, cadenas;
        if (DiscoLocal().leer(ruta, limitesXlsx::kMaxBytesLibro, &bytes).ok()
            && PaqueteXlsx(bytes).buscarHoja(Claves::nombreHoja(), &hoja, &cadenas).ok())
            informe.problemas << QStringLiteral(
                "%1: es un libro de claves; no debe estar en la estación")
                                     .arg(ruta);
    }
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

namespace {

// A question's picture and its description; the names both may have go to `esperados`.
void verificarPregunta(const QString &carpetaPrograma, Asignatura a, int m, int q,
    InformeContenido &informe, QSet<QString> &esperados, QList<int> &descritas)
{
    const QString descripcion = rutaDescripcionPregunta(carpetaPrograma, a, m, q);
    esperados << QFileInfo(descripcion).fileName();
    if (tipoEntrada(descripcion) != TipoEntrada::Ninguna) {
        const QString problema = problemaDescripcion(descripcion);
        if (problema.isEmpty())
            descritas << q;
        else
            informe.problemas << QStringLiteral("%1: descripción %2").arg(descripcion, problema);
    }
    const QString ruta = rutaPregunta(carpetaPrograma, a, m, q);
    esperados << QFileInfo(ruta).fileName();
    if (tipoEntrada(ruta) == TipoEntrada::Ninguna) {
        informe.problemas << QStringLiteral("%1: falta la imagen").arg(ruta);
        return;
    }
    QFile archivo;
    if (const Resultado abierto = abrirArchivoOrdinario(archivo, ruta); !abierto.ok()) {
        informe.problemas << QStringLiteral("%1: imagen ilegible (%2)").arg(ruta, abierto.detalle);
        return;
    }
    QImageReader lector(&archivo);
    if (lector.read().isNull()) {
        informe.problemas
            << QStringLiteral("%1: imagen ilegible (%2)").arg(ruta, lector.errorString());
        return;
    }
    ++informe.imagenesCorrectas;
}

// What else lies in a model's folder: names the station cannot read, files of no question,
// links.
void verificarSobrantes(
    const QString &carpeta, const QSet<QString> &esperados, InformeContenido &informe)
{
    for (const QString &nombre : nombresIlegibles(carpeta))
        informe.problemas << QStringLiteral(
            "%1/%2: nombre de archivo ilegible; la estación no lo ve ni lo puede borrar")
                                 .arg(carpeta, nombre);
    const auto entradas = QDir(carpeta).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entrada : entradas) {
        if (!esperados.contains(entrada.fileName()))
            informe.problemas
                << QStringLiteral("%1: no corresponde a este modelo").arg(entrada.filePath());
        else if (esEnlace(entrada))
            informe.problemas << QStringLiteral(
                "%1: es un enlace a %2; al finalizar la materia la estación "
                "quita el enlace y el original queda")
                                     .arg(entrada.filePath(), entrada.symLinkTarget());
    }
}

void verificarModelo(const QString &carpetaPrograma, Asignatura a, int m,
    const ProbarDocumento &probar, InformeContenido &informe)
{
    const QString carpeta = carpetaModelo(carpetaPrograma, a, m);
    if (esEnlace(QFileInfo(carpeta)))
        informe.problemas << QStringLiteral("%1: es un enlace a %2; al finalizar la materia la "
                                            "estación quita el enlace y el original queda")
                                 .arg(carpeta, QFileInfo(carpeta).symLinkTarget());
    if (!QFileInfo(carpeta).isDir()) {
        informe.problemas << QStringLiteral("%1: falta la carpeta del modelo").arg(carpeta);
        return;
    }
    QSet<QString> esperados;
    QList<int> descritas;
    for (int q = 1; q <= kPreguntas; ++q)
        verificarPregunta(carpetaPrograma, a, m, q, informe, esperados, descritas);
    informe.descripciones << listaDescripciones(carpeta, descritas);
    if (descritas.size() < kPreguntas) {
        QStringList faltan;
        for (int q = 1; q <= kPreguntas; ++q) {
            if (!descritas.contains(q))
                faltan << QString::number(q);
        }
        informe.avisos << QStringLiteral(
            "%1: %2 de %3 imágenes sin descripción para el lector de pantalla (preguntas %4)")
                              .arg(carpeta)
                              .arg(faltan.size())
                              .arg(kPreguntas)
                              .arg(faltan.join(QStringLiteral(", ")));
    }
    if (a == Asignatura::Lengua) {
        const QString textos = rutaTextosLengua(carpetaPrograma, m);
        esperados << QFileInfo(textos).fileName();
        verificarPdf(textos, QStringLiteral("falta el documento de textos"), probar, informe);
    }
    verificarSobrantes(carpeta, esperados, informe);
}

} // namespace

InformeContenido verificarContenido(const QString &carpetaPrograma, const ProbarDocumento &probar)
{
    InformeContenido informe;
    const QString imagenes = carpetaImagenes(carpetaPrograma);
    const QFileInfo infoImagenes(imagenes);
    if (esEnlace(infoImagenes))
        informe.problemas << QStringLiteral(
            "%1: es un enlace a %2; la estación no borrará las preguntas de "
            "una materia finalizada. Copie el contenido en la estación.")
                                 .arg(imagenes, infoImagenes.symLinkTarget());
    if (!infoImagenes.isDir()) {
        informe.problemas << (infoImagenes.exists()
                ? QStringLiteral("%1: es un archivo, no una carpeta").arg(imagenes)
                : QStringLiteral("%1: falta la carpeta de contenido").arg(imagenes));
        return informe;
    }
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua })
        for (int m = 1; m <= kModelos; ++m)
            verificarModelo(carpetaPrograma, a, m, probar, informe);
    verificarPdf(rutaTablaFormulas(carpetaPrograma), QStringLiteral("falta la tabla de fórmulas"),
        probar, informe);
    buscarClaves(carpetaPrograma, informe);
    return informe;
}
