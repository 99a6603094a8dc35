#include "ContenidoDemo.h"

#include "Causas.h"
#include "Disco.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

namespace {

bool asegurarCarpeta(const QString &ruta)
{
    return QDir().mkpath(QFileInfo(ruta).absolutePath());
}

void escribirPagina(
    QPdfWriter &pdf, QPainter &p, const QString &titulo, const QStringList &parrafos)
{
    const int margen = pdf.resolution(); // one inch
    const QRect area(margen, margen, pdf.width() - 2 * margen, pdf.height() - 2 * margen);
    QFont fuenteTitulo(QStringLiteral("DejaVu Sans"), 18, QFont::Bold);
    p.setFont(fuenteTitulo);
    QRect usado;
    p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, titulo, &usado);
    QFont fuente(QStringLiteral("DejaVu Serif"), 12);
    p.setFont(fuente);
    QRect resto = area.adjusted(0, usado.height() + margen / 3, 0, 0);
    for (const QString &parrafo : parrafos) {
        QRect ocupado;
        p.drawText(resto, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, parrafo, &ocupado);
        resto.setTop(resto.top() + ocupado.height() + margen / 6);
    }
}

} // namespace

char letraCorrectaDemo(Asignatura asignatura, int modelo, int pregunta)
{
    const int k = asignatura == Asignatura::Matematica ? (pregunta + modelo) % 4
                                                       : (pregunta * 3 + modelo) % 4;
    return char('A' + k);
}

Claves clavesDemo()
{
    Claves claves;
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua })
        for (int m = 1; m <= kModelos; ++m)
            for (int q = 1; q <= kPreguntas; ++q)
                claves.poner(a, m, q, letraCorrectaDemo(a, m, q));
    return claves;
}

Resultado escribirClavesDemo(const QString &carpetaEstacion, const QString &ruta)
{
    // Links resolved where the folders exist; a station folder still to be made is compared
    // by its path.
    auto real = [](const QString &carpeta) {
        const QString canonica = QFileInfo(carpeta).canonicalFilePath();
        return canonica.isEmpty() ? QDir::cleanPath(QFileInfo(carpeta).absoluteFilePath())
                                  : canonica;
    };
    const QString estacion = real(carpetaEstacion);
    const QString carpeta = real(QFileInfo(ruta).absolutePath());
    if (carpeta == estacion || carpeta.startsWith(estacion + QLatin1Char('/')))
        return falloHerramienta(CausaFallo::SalidaNoPermitida,
            QStringLiteral("las claves no van en la carpeta de la estación (%1): elija otra")
                .arg(carpetaEstacion));
    const Claves claves = clavesDemo();
    if (const Resultado escrito = escribirClaves(ruta, claves); !escrito.ok())
        return escrito;
    const LecturaClaves leidas = leerClaves(ruta);
    if (!leidas.ok())
        return falloDisco(CausaFallo::NoCoincide, leidas.errores.join(QStringLiteral("; ")));
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua })
        for (int m = 1; m <= kModelos; ++m)
            for (int q = 1; q <= kPreguntas; ++q)
                if (leidas.claves.letra(a, m, q) != claves.letra(a, m, q))
                    return falloDisco(CausaFallo::NoCoincide,
                        QStringLiteral("las claves escritas no coinciden al leerlas"));
    return {};
}

namespace {

// What a demo question says: its statement and its four options, as its picture shows them.
struct TextosPregunta {
    QString enunciado;
    QStringList opciones; // "A)  …" to "D)  …"
};

TextosPregunta textosPregunta(Asignatura asignatura, int modelo, int pregunta)
{
    const bool mat = asignatura == Asignatura::Matematica;
    TextosPregunta t;
    t.enunciado = mat
        ? QStringLiteral("¿Cuánto vale %1 + %2 × %3?")
              .arg(modelo * 3 + pregunta)
              .arg(pregunta)
              .arg(modelo)
        : QStringLiteral("Actividad %1. Según el %2 texto, ¿qué es correcto?")
              .arg(pregunta)
              .arg(pregunta <= 11 ? QStringLiteral("primer") : QStringLiteral("segundo"));
    const int base = modelo * 3 + pregunta + pregunta * modelo;
    const int correcta = letraCorrectaDemo(asignatura, modelo, pregunta) - 'A';
    for (int k = 0; k < 4; ++k) {
        const QString letra = QString(QChar('A' + k));
        const QString texto = mat ? QString::number(base + (k - correcta) * 2)
            : k == correcta ? QStringLiteral("Afirmación %1: lo que dice el texto").arg(letra)
                            : QStringLiteral("Afirmación %1 sobre el texto").arg(letra);
        t.opciones << letra + QStringLiteral(")  ") + texto;
    }
    return t;
}

} // namespace

bool generarDescripcion(const QString &ruta, Asignatura asignatura, int modelo, int pregunta)
{
    const TextosPregunta t = textosPregunta(asignatura, modelo, pregunta);
    QFile archivo(ruta);
    if (!asegurarCarpeta(ruta) || !archivo.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray texto
        = (t.enunciado + QLatin1Char('\n') + t.opciones.join(QLatin1Char('\n')) + QLatin1Char('\n'))
              .toUtf8();
    return archivo.write(texto) == texto.size() && archivo.flush();
}

bool generarPregunta(
    const QString &ruta, Asignatura asignatura, int modelo, int pregunta, QSize tamano)
{
    if (!asegurarCarpeta(ruta))
        return false;
    QImage imagen(tamano, QImage::Format_RGB32);
    const bool mat = asignatura == Asignatura::Matematica;
    imagen.fill(mat ? QColor(245, 250, 255) : QColor(255, 250, 240));
    QPainter p(&imagen);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor tinta = mat ? QColor(20, 50, 120) : QColor(120, 40, 20);
    p.setPen(QPen(tinta, 3));
    p.drawRect(imagen.rect().adjusted(2, 2, -3, -3));
    const int alto = tamano.height();
    QFont titulo(QStringLiteral("DejaVu Sans"));
    titulo.setBold(true);
    titulo.setPixelSize(qMax(8, alto / 11));
    p.setFont(titulo);
    p.drawText(QRect(0, alto / 30, tamano.width(), alto / 6), Qt::AlignCenter,
        QStringLiteral("%1 - Modelo %2 - Pregunta %3")
            .arg(nombreVisible(mat ? Asignatura::Matematica : Asignatura::Lengua))
            .arg(modelo)
            .arg(pregunta));
    QFont cuerpo(QStringLiteral("DejaVu Sans"));
    cuerpo.setPixelSize(qMax(7, alto / 14));
    p.setFont(cuerpo);
    p.setPen(Qt::black);
    const TextosPregunta t = textosPregunta(asignatura, modelo, pregunta);
    p.drawText(QRect(alto / 12, alto / 4, tamano.width() - alto / 6, alto / 6),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, t.enunciado);
    for (int k = 0; k < 4; ++k)
        p.drawText(QRect(alto / 6, alto * (45 + 12 * k) / 100, tamano.width() - alto / 3, alto / 8),
            Qt::AlignLeft | Qt::AlignVCenter, t.opciones[k]);
    p.end();
    return imagen.save(ruta, "JPEG", 85);
}

static bool generarTextosLengua(const QString &ruta, int modelo)
{
    if (!asegurarCarpeta(ruta))
        return false;
    QPdfWriter pdf(ruta);
    pdf.setTitle(QStringLiteral("Lengua - Modelo %1 - Textos").arg(modelo));
    pdf.setResolution(150);
    QPainter p(&pdf);
    if (!p.isActive())
        return false;
    escribirPagina(pdf, p,
        QStringLiteral("Modelo %1 - Primer texto (actividades 1 a 11)").arg(modelo),
        { QStringLiteral("Había una vez un pueblo junto a un río ancho y lento. "
                         "Cada mañana, los pescadores salían antes del alba."),
            QStringLiteral("Este es el texto de demostración número %1 para las "
                           "actividades 1 a 11.")
                .arg(modelo) });
    pdf.newPage();
    escribirPagina(pdf, p,
        QStringLiteral("Modelo %1 - Segundo texto (actividades 12 a 22)").arg(modelo),
        { QStringLiteral("Las abejas se comunican mediante danzas que indican la "
                         "dirección y la distancia de las flores."),
            QStringLiteral("Este es el texto de demostración número %1 para las "
                           "actividades 12 a 22.")
                .arg(modelo) });
    return p.end();
}

static bool generarTablaFormulas(const QString &ruta)
{
    if (!asegurarCarpeta(ruta))
        return false;
    QPdfWriter pdf(ruta);
    pdf.setTitle(QStringLiteral("Tabla de fórmulas"));
    pdf.setResolution(150);
    QPainter p(&pdf);
    if (!p.isActive())
        return false;
    escribirPagina(pdf, p, QStringLiteral("Tabla de fórmulas"),
        { QStringLiteral("Área del rectángulo: base × altura"),
            QStringLiteral("Área del triángulo: base × altura ÷ 2"),
            QStringLiteral("Área del círculo: π × radio²"),
            QStringLiteral("Teorema de Pitágoras: a² + b² = c²"),
            QStringLiteral("Ecuación cuadrática: x = (−b ± √(b² − 4ac)) ÷ 2a") });
    return p.end();
}

ResultadoGeneracion generarContenido(const QString &carpetaPrograma, bool reemplazar)
{
    ResultadoGeneracion resultado;
    auto hace = [&](const QString &ruta) { return reemplazar || !QFileInfo(ruta).isFile(); };
    auto falla = [&](const QString &ruta) {
        // The picture and document writers do not say why; the disk is all that is left.
        if (resultado.resultado.ok())
            resultado.resultado = falloDisco(
                CausaFallo::Escritura, QStringLiteral("no se pudo escribir %1").arg(ruta));
    };
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        for (int m = 1; m <= kModelos; ++m) {
            for (int q = 1; q <= kPreguntas; ++q) {
                // The picture, and its words for a screen reader beside it.
                const QString descripcion = rutaDescripcionPregunta(carpetaPrograma, a, m, q);
                if (hace(descripcion) && !generarDescripcion(descripcion, a, m, q))
                    falla(descripcion);
                const QString ruta = rutaPregunta(carpetaPrograma, a, m, q);
                if (!hace(ruta))
                    continue;
                if (generarPregunta(ruta, a, m, q))
                    ++resultado.imagenes;
                else
                    falla(ruta);
            }
        }
    }
    for (int m = 1; m <= kModelos; ++m) {
        const QString ruta = rutaTextosLengua(carpetaPrograma, m);
        if (!hace(ruta))
            continue;
        if (generarTextosLengua(ruta, m))
            ++resultado.documentos;
        else
            falla(ruta);
    }
    const QString tabla = rutaTablaFormulas(carpetaPrograma);
    if (hace(tabla)) {
        if (generarTablaFormulas(tabla))
            ++resultado.documentos;
        else
            falla(tabla);
    }
    return resultado;
}
