#include "Contenido.h"

#include "Archivos.h"
#include "Disco.h"

QString nombreMateria(Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? QStringLiteral("Matematica")
                                                : QStringLiteral("Lengua");
}

QString nombreVisible(Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? QStringLiteral("Matemática")
                                                : QStringLiteral("Lengua");
}

QString codigoAcceso(Asignatura asignatura)
{
    return asignatura == Asignatura::Lengua ? QStringLiteral("2813") : QStringLiteral("4592");
}

Restos borrarContenidoFinalizado(IArchivos &archivos, const QString &carpetaPrograma,
    Asignatura asignatura, const std::function<bool(const QString &)> &existe)
{
    const QString imagenes = carpetaImagenes(carpetaPrograma);
    if (archivos.esEnlace(imagenes))
        return { { imagenes },
            falloDisco(CausaFallo::NoEsArchivo,
                QStringLiteral("la carpeta de las imágenes es un enlace; no se borra nada a "
                               "través de él")) };
    Restos restos;
    for (int m = 1; m <= kModelos; ++m) {
        if (existe(rutaPregunta(carpetaPrograma, asignatura, m, 1)))
            restos.sumar(
                borrarArchivosDeCarpeta(archivos, carpetaModelo(carpetaPrograma, asignatura, m)));
    }
    return restos;
}

namespace {
// "Mat_Mod" / "Leng_Mod": the stem of a model's folder and file names.
QString prefijoContenido(Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? QStringLiteral("Mat_Mod")
                                                : QStringLiteral("Leng_Mod");
}
} // namespace

QString carpetaImagenes(const QString &carpetaPrograma)
{
    return unirRuta(carpetaPrograma, { QStringLiteral("Imagenes") });
}

QString carpetaModelo(const QString &carpetaPrograma, Asignatura asignatura, int modelo)
{
    return unirRuta(carpetaPrograma,
        { QStringLiteral("Imagenes"), prefijoContenido(asignatura) + QString::number(modelo) });
}

QString rutaPregunta(
    const QString &carpetaPrograma, Asignatura asignatura, int modelo, int pregunta)
{
    const QString tallo = prefijoContenido(asignatura) + QString::number(modelo);
    return unirRuta(carpetaPrograma,
        { QStringLiteral("Imagenes"), tallo,
            tallo + QStringLiteral("_P") + QString::number(pregunta) + QStringLiteral(".jpg") });
}

QString rutaDescripcionPregunta(
    const QString &carpetaPrograma, Asignatura asignatura, int modelo, int pregunta)
{
    QString ruta = rutaPregunta(carpetaPrograma, asignatura, modelo, pregunta);
    ruta.chop(4);
    return ruta + QStringLiteral(".txt");
}

QString rutaTextosLengua(const QString &carpetaPrograma, int modelo)
{
    const QString tallo = QStringLiteral("Leng_Mod") + QString::number(modelo);
    return unirRuta(carpetaPrograma,
        { QStringLiteral("Imagenes"), tallo, tallo + QStringLiteral("_Textos.pdf") });
}

QString rutaTablaFormulas(const QString &carpetaPrograma)
{
    return unirRuta(
        carpetaPrograma, { QStringLiteral("Imagenes"), QStringLiteral("Tabla de formulas.pdf") });
}
