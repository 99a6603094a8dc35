#include "Preparacion.h"

#include "Disco.h"
#include "Entradas.h"
#include "Llaves.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

namespace {

QString nativa(const QString &ruta)
{
    return QDir::toNativeSeparators(ruta);
}

QString nombreDelPrograma()
{
#ifdef Q_OS_WIN
    return QStringLiteral("estacion.exe");
#else
    return QStringLiteral("estacion");
#endif
}

// Copies the master's `Imagenes` over the station's, file by file, each replaced in one step
// and never through a link; the station's own files (workbooks, records) are outside it and
// never touched. Returns the files copied; `errores` gets each file that could not be.
int copiarContenido(const QString &maestra, const QString &estacion, QStringList *errores)
{
    DiscoLocal disco;
    const QDir origen(QDir(maestra).filePath(QStringLiteral("Imagenes")));
    const QDir destino(QDir(estacion).filePath(QStringLiteral("Imagenes")));
    int copiados = 0;
    for (QDirIterator it(origen.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString ruta = it.next();
        const QString relativa = origen.relativeFilePath(ruta);
        const QString nueva = destino.filePath(relativa);
        QByteArray bytes;
        Resultado r = disco.leer(ruta, 256 * 1024 * 1024, &bytes);
        if (r.ok() && !QDir().mkpath(QFileInfo(nueva).absolutePath()))
            r = falloDisco(CausaFallo::SinPermiso,
                QStringLiteral("no se puede crear la carpeta %1")
                    .arg(QFileInfo(nueva).absolutePath()));
        if (r.ok())
            r = disco.escribir(nueva, bytes);
        if (r.ok())
            ++copiados;
        else
            *errores << QStringLiteral("%1: %2").arg(nativa(nueva), r.texto());
    }
    return copiados;
}

// The station's program, when it lacks it; the line that says what was done, or the error.
void ponerPrograma(
    const QString &estacion, const QString &programa, QStringList *lineas, QStringList *errores)
{
    const QString destinoPrograma = QDir(estacion).filePath(nombreDelPrograma());
    const QString origenPrograma = QDir(programa).filePath(nombreDelPrograma());
    if (QFileInfo::exists(destinoPrograma))
        return;
    if (QFile::copy(origenPrograma, destinoPrograma))
        *lineas << QStringLiteral("Se puso el programa de la estación en %1.")
                       .arg(nativa(destinoPrograma));
    else
        *errores << QStringLiteral("%1: no se pudo poner el programa de la estación (desde %2)")
                        .arg(nativa(destinoPrograma), nativa(origenPrograma));
}

// The station's key pair and its line in the register; the line the staff read.
bool ponerLlaves(const QString &estacion, const Preparacion &como, QStringList *lineas)
{
    if (como.registro.isEmpty()) {
        *lineas << QStringLiteral("Sin registro de estaciones: los resultados de esta estación "
                                  "no llevarán sello.");
        return true;
    }
    LlavesPreparadas hecho = LlavesPreparadas::Nuevas;
    const Resultado r = prepararLlaves(estacion, como.nombre, como.registro, &hecho);
    if (!r.ok()) {
        *lineas << QStringLiteral("No se pudo dar la llave a la estación: %1").arg(r.texto());
        return false;
    }
    IdentidadEstacion identidad;
    (void)leerIdentidad(estacion, &identidad);
    *lineas << (hecho == LlavesPreparadas::Nuevas
            ? QStringLiteral("La estación \"%1\" tiene su llave; su parte pública está en el "
                             "registro %2.")
            : QStringLiteral("La estación \"%1\" conserva la llave que ya tenía; está en el "
                             "registro %2."))
                   .arg(identidad.nombre, nativa(como.registro));
    return true;
}

} // namespace

std::optional<std::pair<QString, QString>> motivoParaNoPreparar(
    const QString &maestra, const QString &estacion)
{
    if (maestra.isEmpty() || estacion.isEmpty())
        return std::pair {
            QStringLiteral("Escriba la carpeta maestra y la carpeta de la estación."), QString()
        };
    if (!QFileInfo(QDir(maestra).filePath(QStringLiteral("Imagenes"))).isDir())
        return std::pair {
            QStringLiteral("La carpeta maestra no tiene la carpeta \"Imagenes\" con el contenido."),
            nativa(maestra)
        };
    if (!QFileInfo(estacion).isDir())
        return std::pair { QStringLiteral("No se encuentra la carpeta de la estación."),
            nativa(estacion) };
    const QString maestraReal = QFileInfo(maestra).canonicalFilePath();
    if (estaDentroDe(maestraReal, QFileInfo(estacion).canonicalFilePath()))
        return std::pair { QStringLiteral(
                               "La carpeta maestra no puede ser la de la estación ni estar dentro "
                               "de ella: al terminar una materia la estación borra sus imágenes."),
            nativa(maestraReal) };
    QStringList claves;
    for (const QString &problema : verificarContenido(maestra).problemas) {
        if (problema.contains(QStringLiteral("libro de claves")))
            claves << problema;
    }
    if (!claves.isEmpty())
        return std::pair { QStringLiteral("La carpeta maestra contiene una clave de respuestas: "
                                          "quítela antes de copiar, para que no llegue a la "
                                          "estación."),
            claves.join(QLatin1Char('\n')) };
    return std::nullopt;
}

QString carpetaDelProgramaEstacion()
{
    const QDir aqui(QCoreApplication::applicationDirPath());
    if (QFileInfo(aqui.filePath(nombreDelPrograma())).isFile()
        || QFileInfo(aqui.filePath(QStringLiteral("Imagenes"))).exists())
        return aqui.path();
    const QString compilada = QDir::cleanPath(aqui.filePath(QStringLiteral("../app")));
    if (QFileInfo(QDir(compilada).filePath(nombreDelPrograma())).isFile())
        return compilada;
    return QDir::currentPath();
}

QString nombrePorOmision(const QString &estacion)
{
    IdentidadEstacion identidad;
    if (leerIdentidad(estacion, &identidad).ok())
        return identidad.nombre;
    QString nombre = QSysInfo::machineHostName() + QLatin1Char(' ')
        + QFileInfo(QFileInfo(estacion).absoluteFilePath()).fileName();
    nombre.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")));
    return nombre.trimmed().left(80);
}

InformePreparacion prepararEstacion(
    const QString &maestra, const QString &estacion, const Preparacion &como)
{
    InformePreparacion informe;
    QStringList errores;
    const int copiados = copiarContenido(maestra, estacion, &errores);
    informe.lineas
        << QStringLiteral("%1 archivos copiados de %2.").arg(copiados).arg(nativa(maestra));
    ponerPrograma(estacion, como.programa, &informe.lineas, &errores);
    for (const QString &e : std::as_const(errores))
        informe.lineas << QStringLiteral("No se pudo copiar: %1").arg(e);
    const bool conLlave = ponerLlaves(estacion, como, &informe.lineas);
    const InformeContenido contenido = verificarContenido(estacion, como.probar);
    informe.lineas << QString() << QStringLiteral("Verificación: %1").arg(contenido.resumen());
    informe.lineas << contenido.problemas;
    informe.lista = contenido.correcto() && errores.isEmpty() && conLlave;
    informe.lineas << (informe.lista
            ? QStringLiteral("La estación está lista.")
            : QStringLiteral("La estación NO está lista: vea los problemas."));
    return informe;
}
