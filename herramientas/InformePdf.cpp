#include "InformePdf.h"

#include <QBuffer>
#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace {

constexpr int kResolucion = 150;
const QColor kColorBarra(52, 101, 164);
const QColor kColorMarcada(204, 0, 0);
const QColor kColorLinea(120, 120, 120);

QString numero(double v, int decimales)
{
    return QLocale(QLocale::Spanish, QLocale::Argentina).toString(v, 'f', decimales);
}

QString opcional(const std::optional<double> &v, int decimales)
{
    return v ? numero(*v, decimales) : QStringLiteral("—");
}

QFont fuente(double puntos, bool negrita = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(puntos);
    f.setBold(negrita);
    return f;
}

struct Barras {
    QString titulo;
    std::vector<double> valores;
    std::vector<QString> etiquetas;
    std::vector<bool> marcadas;
    double minimo = 0;
    double maximo = 1;
    std::vector<double> referencias; // dashed lines, such as the low-discrimination limit
    int decimalesEje = 2;
};

// A bar chart drawn into `area`: title, axis with its limits, the bars, their labels below.
void dibujarBarras(QPainter &p, const QRectF &area, const Barras &b)
{
    p.save();
    p.setFont(fuente(10, true));
    const QFontMetricsF titulo(p.font(), p.device());
    p.setPen(Qt::black);
    p.drawText(
        QRectF(area.left(), area.top(), area.width(), titulo.height()), Qt::AlignLeft, b.titulo);
    p.setFont(fuente(7));
    const QFontMetricsF fm(p.font(), p.device());
    const double ejeAncho = fm.horizontalAdvance(QStringLiteral("-0,00")) + 8;
    const QRectF grafico(area.left() + ejeAncho, area.top() + titulo.height() * 1.5,
        area.width() - ejeAncho, area.height() - titulo.height() * 1.5 - fm.height() * 1.6);
    // Counts are marked at whole numbers: the top is taken to the next even count, so that the
    // middle mark is one too.
    const double maximo = b.decimalesEje == 0 ? 2 * std::ceil(b.maximo / 2) : b.maximo;
    const double rango = maximo - b.minimo;
    auto y = [&](double v) { return grafico.bottom() - (v - b.minimo) / rango * grafico.height(); };

    p.setPen(QPen(kColorLinea, 1));
    p.drawRect(grafico);
    for (double marca : { b.minimo, (b.minimo + maximo) / 2, maximo }) {
        p.drawLine(QPointF(grafico.left() - 4, y(marca)), QPointF(grafico.left(), y(marca)));
        p.setPen(Qt::black);
        p.drawText(QRectF(area.left(), y(marca) - fm.height() / 2, ejeAncho - 6, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter, numero(marca, b.decimalesEje));
        p.setPen(QPen(kColorLinea, 1));
    }
    const double cero = y(std::clamp(0.0, b.minimo, maximo));
    if (b.minimo < 0)
        p.drawLine(QPointF(grafico.left(), cero), QPointF(grafico.right(), cero));
    for (const double referencia : b.referencias) {
        p.setPen(QPen(kColorMarcada, 1, Qt::DashLine));
        p.drawLine(QPointF(grafico.left(), y(referencia)), QPointF(grafico.right(), y(referencia)));
    }

    const double paso = grafico.width() / double(b.valores.size());
    for (size_t i = 0; i < b.valores.size(); ++i) {
        const bool marcada = i < b.marcadas.size() && b.marcadas[i];
        const double v = std::clamp(b.valores[i], b.minimo, maximo);
        const QRectF barra
            = QRectF(QPointF(grafico.left() + paso * (i + 0.15), std::min(cero, y(v))),
                QPointF(grafico.left() + paso * (i + 0.85), std::max(cero, y(v))));
        p.fillRect(barra, marcada ? kColorMarcada : kColorBarra);
        p.setPen(marcada ? kColorMarcada : Qt::black);
        const QString etiqueta = i < b.etiquetas.size() ? b.etiquetas[i] : QString();
        p.drawText(QRectF(grafico.left() + paso * i, grafico.bottom() + 2, paso, fm.height() * 1.5),
            Qt::AlignHCenter | Qt::AlignTop, marcada ? etiqueta + QStringLiteral("!") : etiqueta);
    }
    p.restore();
}

// The equating curves of a subject's models: equated score against raw score, 0 to 22, with
// the diagonal of a model that needs no equating.
void dibujarCurvas(QPainter &p, const QRectF &area, const QString &titulo,
    const std::vector<const AnalisisModelo *> &modelos)
{
    p.save();
    p.setFont(fuente(10, true));
    const QFontMetricsF fmTitulo(p.font(), p.device());
    p.setPen(Qt::black);
    p.drawText(
        QRectF(area.left(), area.top(), area.width(), fmTitulo.height()), Qt::AlignLeft, titulo);
    p.setFont(fuente(7));
    const QFontMetricsF fm(p.font(), p.device());
    const double margen = fm.horizontalAdvance(QStringLiteral("22,5")) + 8;
    const double lado = std::min(
        area.width() * 0.75 - margen, area.height() - fmTitulo.height() * 1.5 - fm.height() * 2);
    const QRectF grafico(area.left() + margen, area.top() + fmTitulo.height() * 1.5, lado, lado);
    auto punto = [&](double x, double e) {
        return QPointF(grafico.left() + (x + 0.5) / 23 * grafico.width(),
            grafico.bottom() - (e + 0.5) / 23 * grafico.height());
    };
    p.setPen(QPen(kColorLinea, 1));
    p.drawRect(grafico);
    p.setPen(QPen(kColorLinea, 1, Qt::DashLine));
    p.drawLine(punto(-0.5, -0.5), punto(22.5, 22.5));
    p.setPen(Qt::black);
    for (int marca : { 0, 11, 22 }) {
        p.drawText(
            QRectF(area.left(), punto(0, marca).y() - fm.height() / 2, margen - 6, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(marca));
        p.drawText(
            QRectF(punto(marca, 0).x() - margen / 2, grafico.bottom() + 2, margen, fm.height()),
            Qt::AlignHCenter, QString::number(marca));
    }
    const QColor colores[] = { QColor(52, 101, 164), QColor(204, 0, 0), QColor(78, 154, 6),
        QColor(196, 160, 0), QColor(117, 80, 123), QColor(206, 92, 0) };
    double yLeyenda = grafico.top();
    for (const AnalisisModelo *m : modelos) {
        const QColor color = colores[(m->modelo - 1) % 6];
        p.setPen(QPen(color, 2));
        // A linear equating may leave the scale at its ends: the line stops at the chart's edge.
        p.setClipRect(grafico);
        for (int x = 0; x < kPreguntas; ++x)
            p.drawLine(punto(x, m->equiparacion[x]), punto(x + 1, m->equiparacion[x + 1]));
        p.setClipping(false);
        p.drawText(QRectF(grafico.right() + 12, yLeyenda, area.right() - grafico.right() - 12,
                       fm.height()),
            Qt::AlignLeft,
            QStringLiteral("Modelo %1%2")
                .arg(m->modelo)
                .arg(m->metodo == AnalisisModelo::Metodo::Ninguno
                        ? QStringLiteral(" (sin equiparar)")
                        : m->metodo == AnalisisModelo::Metodo::Lineal ? QStringLiteral(" (lineal)")
                                                                      : QString()));
        yLeyenda += fm.height() * 1.3;
    }
    p.restore();
}

// Every measure is taken on the PDF itself: its resolution is not the screen's.
double altoDeFila(const QPaintDevice *dispositivo)
{
    return QFontMetricsF(fuente(8), dispositivo).height() * 1.35;
}

// A table of rows of text, the first row as its header; returns the height used.
double dibujarTabla(QPainter &p, QPointF origen, const std::vector<double> &anchos,
    const std::vector<QStringList> &filas)
{
    p.save();
    const double alto = altoDeFila(p.device());
    double yFila = origen.y();
    for (size_t f = 0; f < filas.size(); ++f) {
        p.setFont(fuente(8, f == 0));
        const QFontMetricsF fm(p.font(), p.device());
        if (f == 0)
            p.fillRect(
                QRectF(origen.x(), yFila, std::accumulate(anchos.begin(), anchos.end(), 0.0), alto),
                QColor(225, 225, 225));
        double x = origen.x();
        for (size_t c = 0; c < anchos.size() && c < size_t(filas[f].size()); ++c) {
            p.drawText(QRectF(x + 3, yFila, anchos[c] - 6, alto), Qt::AlignVCenter | Qt::AlignLeft,
                fm.elidedText(filas[f][int(c)], Qt::ElideRight, anchos[c] - 6));
            x += anchos[c];
        }
        yFila += alto;
    }
    p.restore();
    return yFila - origen.y();
}

class Informe {
public:
    Informe(QPdfWriter &pdf, int paginas)
        : m_pdf(pdf)
        , m_paginas(paginas)
    {
    }
    QPainter &pintor() { return m_p; }
    bool empezar() { return m_p.begin(&m_pdf); }
    QRectF area() const { return QRectF(0, 0, m_pdf.width(), m_pdf.height() - 40); }
    void nuevaPagina()
    {
        pie();
        m_pdf.newPage();
    }
    bool terminar()
    {
        pie();
        return m_p.end();
    }
    double encabezado(const QString &titulo, const QString &subtitulo)
    {
        m_p.setPen(Qt::black);
        m_p.setFont(fuente(15, true));
        const QFontMetricsF grande(m_p.font(), m_p.device());
        m_p.drawText(QRectF(0, 0, area().width(), grande.height()), Qt::AlignLeft, titulo);
        m_p.setFont(fuente(9));
        const QFontMetricsF chica(m_p.font(), m_p.device());
        // A long subtitle wraps inside the margins.
        const QRectF caja(0, grande.height() * 1.1, area().width(), area().height());
        const QRectF ocupado = m_p.boundingRect(caja, Qt::AlignLeft | Qt::TextWordWrap, subtitulo);
        m_p.drawText(caja, Qt::AlignLeft | Qt::TextWordWrap, subtitulo);
        return ocupado.bottom() + chica.height();
    }

private:
    void pie()
    {
        ++m_pagina;
        m_p.setFont(fuente(8));
        m_p.setPen(Qt::black);
        m_p.drawText(QRectF(0, m_pdf.height() - 30, m_pdf.width(), 30),
            Qt::AlignHCenter | Qt::AlignBottom,
            QStringLiteral("Página %1 de %2").arg(m_pagina).arg(m_paginas));
    }

    QPdfWriter &m_pdf;
    QPainter m_p;
    int m_paginas;
    int m_pagina = 0;
};

QStringList filaModelo(const AnalisisModelo &m)
{
    return { nombreVisible(m.asignatura), QString::number(m.modelo), QString::number(m.alumnos),
        numero(m.media, 2), numero(m.desvio, 2), opcional(m.kr20, 3),
        opcional(m.errorEstandar, 2) };
}

} // namespace

QColor colorMarcada()
{
    return kColorMarcada;
}

namespace {

// The models at a glance.
// Under the table of models: whether every result arrived as its station sealed it.
void custodiaEnResumen(QPainter &p, double y, double ancho, const ResumenCustodia &custodia)
{
    // The stations that fit on the page; the sheet "Custodia" has them all.
    constexpr size_t kEstacionesEnPagina = 20;
    p.save();
    p.setFont(fuente(11, true));
    const QFontMetricsF titulo(p.font(), p.device());
    p.drawText(QRectF(0, y, ancho, titulo.height()), Qt::AlignLeft,
        QStringLiteral("Custodia de los resultados"));
    y += titulo.height() * 1.2;
    p.setFont(fuente(9));
    const QRectF caja(0, y, ancho, titulo.height() * 4);
    y = p.boundingRect(caja, Qt::AlignLeft | Qt::TextWordWrap, custodia.frase).bottom()
        + titulo.height() * 0.4;
    p.drawText(caja, Qt::AlignLeft | Qt::TextWordWrap, custodia.frase);
    std::vector<QStringList> tabla(custodia.tabla.begin(),
        custodia.tabla.begin()
            + qsizetype(std::min(custodia.tabla.size(), kEstacionesEnPagina + 1)));
    if (custodia.tabla.size() > kEstacionesEnPagina + 1)
        tabla.push_back({ QStringLiteral("… y %1 más: vea la hoja Custodia")
                              .arg(custodia.tabla.size() - kEstacionesEnPagina - 1) });
    std::vector<double> anchos { ancho * 0.3 };
    for (int c = 1; c < 8; ++c)
        anchos.push_back(ancho * 0.1);
    dibujarTabla(p, QPointF(0, y), anchos, tabla);
    p.restore();
}

void paginaResumen(
    Informe &informe, const std::vector<AnalisisModelo> &modelos, const ResumenCustodia &custodia)
{
    QPainter &p = informe.pintor();
    const double ancho = informe.area().width();
    const double y = informe.encabezado(QStringLiteral("Resultados y análisis de las preguntas"),
        QStringLiteral("Generado el %1 a partir de los libros de resultados recopilados.")
            .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
    std::vector<QStringList> tabla { { QStringLiteral("Materia"), QStringLiteral("Modelo"),
        QStringLiteral("Alumnos"), QStringLiteral("Media"), QStringLiteral("Desvío"),
        QStringLiteral("KR-20"), QStringLiteral("Error estándar") } };
    for (const AnalisisModelo &m : modelos)
        tabla.push_back(filaModelo(m));
    std::vector<double> anchos(7, ancho / 7);
    double alto = dibujarTabla(p, QPointF(0, y), anchos, tabla);
    // The table's terms, where the table is.
    p.setFont(fuente(8));
    const QRectF caja(
        0, y + alto + altoDeFila(p.device()) * 0.5, ancho, altoDeFila(p.device()) * 4);
    const QString terminos = QStringLiteral(
        "Media y desvío: de las respuestas correctas (0 a 22), el desvío de la población. KR-20: "
        "confiabilidad de la prueba, de 0 a 1 (menor que %1, insatisfactoria; desde %2, "
        "satisfactoria). Error estándar: cuánto puede variar el puntaje de un alumno por azar, "
        "en respuestas correctas (desvío × √(1 − KR-20)).")
                                 .arg(numero(Analisis::kKr20Insatisfactoria, 2),
                                     numero(Analisis::kKr20Satisfactoria, 2));
    alto += p.boundingRect(caja, Qt::AlignLeft | Qt::TextWordWrap, terminos).height()
        + altoDeFila(p.device()) * 0.5;
    p.drawText(caja, Qt::AlignLeft | Qt::TextWordWrap, terminos);
    if (!custodia.frase.isEmpty())
        custodiaEnResumen(p, y + alto + altoDeFila(p.device()) * 2, ancho, custodia);
}

// How many students each judgement needs, and what stands in its place with fewer.
std::vector<QStringList> requisitosDeLeyenda()
{
    return {
        { QStringLiteral("Señales, requisito"),
            QStringLiteral("las observaciones de las preguntas piden al menos %1 alumnos en el "
                           "modelo; con menos dicen «muestra insuficiente (N = …)»")
                .arg(Analisis::kMinimoParaSenalar),
            QString() },
        { QStringLiteral("DIF, requisito"),
            QStringLiteral("se calcula con al menos %1 alumnos de cada sexo en el modelo; con "
                           "menos, «muestra insuficiente (N = …)» en lugar de la categoría")
                .arg(Analisis::kMinimoPorSexoDif),
            QString() },
        { QStringLiteral("Equiparación"),
            QStringLiteral("grupos al azar: equipercentil con al menos %1 alumnos en el modelo, "
                           "lineal (media y desvío) con al menos %2; con menos, sin equiparar")
                .arg(Analisis::kMinimoParaEquiparar)
                .arg(Analisis::kMinimoParaEquipararLineal),
            QStringLiteral("Kolen y Brennan") },
    };
}

// How to read the flags: every threshold, with its usual source.
void paginaLeyenda(Informe &informe)
{
    QPainter &p = informe.pintor();
    const QRectF area = informe.area();
    const double ancho = area.width();
    informe.nuevaPagina();
    double y = informe.encabezado(QStringLiteral("Cómo leer las observaciones"),
        QStringLiteral(
            "Los umbrales con que se marcan las preguntas y los modelos, y de dónde vienen."));
    const std::vector<QStringList> leyenda {
        { QStringLiteral("Discriminación"),
            QStringLiteral("es menor que %1 (negativa: revisar la clave)")
                .arg(numero(Analisis::kDiscriminacionBaja, 2)),
            QStringLiteral("Ebel") },
        { QStringLiteral("Facilidad"),
            QStringLiteral("queda fuera de %1 a %2")
                .arg(numero(Analisis::kFacilidadMinima, 2), numero(Analisis::kFacilidadMaxima, 2)),
            QStringLiteral("práctica habitual del análisis de ítems") },
        { QStringLiteral("KR-20"),
            QStringLiteral("menor que %1: insatisfactoria; desde %2: satisfactoria")
                .arg(numero(Analisis::kKr20Insatisfactoria, 2),
                    numero(Analisis::kKr20Satisfactoria, 2)),
            QStringLiteral("Kuder y Richardson; criterios usuales") },
        { QStringLiteral("Grupos extremos"),
            QStringLiteral("el %1 % mejor elige otra opción más que la clave")
                .arg(Analisis::kPorcientoExtremos),
            QStringLiteral("Kelley") },
        { QStringLiteral("Distractores"),
            QStringLiteral(
                "la correlación de elegir la opción con el resto del puntaje es positiva"),
            QStringLiteral("análisis de distractores") },
        { QStringLiteral("DIF por sexo"),
            QStringLiteral("A: |delta| < %1 o chi² < %2; C: |delta| ≥ %3 y (|delta| − %1) / EE > "
                           "%4; B: el resto")
                .arg(numero(Analisis::kDifDeltaB, 1), numero(Analisis::kChi2Significativo, 3),
                    numero(Analisis::kDifDeltaC, 1), numero(Analisis::kNormalUnilateral, 3)),
            QStringLiteral("Mantel–Haenszel con corrección de continuidad si |ΣA − ΣE| ≥ 0,5; EE "
                           "de Robins, Breslow y Greenland; categorías del ETS") },
    };
    // One paragraph each: the conditions are too long for the columns of a table.
    std::vector<QStringList> entradas = leyenda;
    for (const QStringList &requisito : requisitosDeLeyenda())
        entradas.push_back(requisito);
    for (const QStringList &entrada : entradas) {
        const QString texto = entrada[2].isEmpty()
            ? QStringLiteral("%1: %2.").arg(entrada[0], entrada[1])
            : QStringLiteral("%1: %2 (%3).").arg(entrada[0], entrada[1], entrada[2]);
        p.setFont(fuente(9));
        const QRectF caja(0, y, ancho, area.bottom() - y);
        const QRectF usado = p.boundingRect(caja, Qt::AlignLeft | Qt::TextWordWrap, texto);
        p.drawText(caja, Qt::AlignLeft | Qt::TextWordWrap, texto);
        y = usado.bottom() + altoDeFila(p.device()) * 0.5;
    }
}

// A subject's models on one scale: the curves, and the means before and after.
void paginaEquiparacion(Informe &informe, Asignatura a, const std::vector<AnalisisModelo> &modelos)
{
    QPainter &p = informe.pintor();
    const QRectF area = informe.area();
    const double ancho = area.width();
    informe.nuevaPagina();
    const double y = informe.encabezado(
        QStringLiteral("%1 — equiparación de los modelos").arg(nombreVisible(a)),
        QStringLiteral("Puntaje equiparado según el puntaje obtenido en cada modelo, en la "
                       "escala de todos "
                       "los alumnos de la materia (línea de puntos: sin cambio)."));
    std::vector<const AnalisisModelo *> deLaMateria;
    std::vector<QStringList> medias { { QStringLiteral("Modelo"), QStringLiteral("Alumnos"),
        QStringLiteral("Método"), QStringLiteral("Media"), QStringLiteral("Media equiparada") } };
    for (const AnalisisModelo &m : modelos) {
        if (m.asignatura != a)
            continue;
        deLaMateria.push_back(&m);
        medias.push_back({ QString::number(m.modelo), QString::number(m.alumnos),
            textoMetodo(m.metodo), numero(m.media, 2), numero(m.mediaEquiparada, 2) });
    }
    // Curves that all lie on the diagonal say nothing a sentence does not say better.
    const bool sinCambio = std::all_of(deLaMateria.begin(), deLaMateria.end(), [](const auto *m) {
        for (int x = 0; x <= kPreguntas; ++x) {
            if (std::abs(m->equiparacion[x] - x) > 0.005)
                return false;
        }
        return true;
    });
    const double altoCurvas = sinCambio ? altoDeFila(p.device()) * 3 : area.height() * 0.55;
    if (sinCambio) {
        p.setFont(fuente(10));
        p.drawText(QRectF(0, y, ancho, altoCurvas), Qt::AlignLeft | Qt::TextWordWrap,
            QStringLiteral("Ningún modelo cambia de escala: cada puntaje equiparado es el "
                           "obtenido (ver el método de cada modelo en la tabla)."));
    } else {
        dibujarCurvas(p, QRectF(0, y, ancho, altoCurvas), QStringLiteral("Curvas de equiparación"),
            deLaMateria);
    }
    dibujarTabla(p, QPointF(0, y + altoCurvas + 20),
        std::vector<double> { ancho * 0.1, ancho * 0.12, ancho * 0.42, ancho * 0.16, ancho * 0.2 },
        medias);
}

// The notes of the flagged questions, one a line.
QString notasDeModelo(const AnalisisModelo &m)
{
    // Too few students: one sentence for the model, no question singled out.
    if (!m.senales)
        return QStringLiteral("Sin observaciones de las preguntas: %1; hacen falta al menos %2 "
                              "alumnos en el modelo.")
            .arg(textoMuestraInsuficiente(QString::number(m.alumnos)))
            .arg(Analisis::kMinimoParaSenalar);
    QStringList notas;
    for (int q = 0; q < kPreguntas; ++q) {
        const AnalisisItem &item = m.items[q];
        if (item.senalada)
            notas << QStringLiteral("Pregunta %1 (clave %2): %3")
                         .arg(q + 1)
                         .arg(QLatin1Char(item.clave))
                         .arg(item.observacion);
    }
    return notas.isEmpty() ? QStringLiteral("Ninguna pregunta con observaciones.")
                           : notas.join(QLatin1Char('\n'));
}

Barras histogramaDeModelo(const AnalisisModelo &m)
{
    Barras histograma;
    histograma.titulo = QStringLiteral("Alumnos por cantidad de respuestas correctas");
    histograma.maximo = std::max(1, *std::max_element(m.histograma.begin(), m.histograma.end()));
    histograma.decimalesEje = 0;
    for (int c = 0; c <= kPreguntas; ++c) {
        histograma.valores.push_back(m.histograma[c]);
        histograma.etiquetas.push_back(QString::number(c));
    }
    return histograma;
}

// Facility, discrimination and DIF of each question, flagged ones marked.
std::tuple<Barras, Barras, Barras> barrasDePreguntas(const AnalisisModelo &m)
{
    Barras facilidad;
    facilidad.titulo
        = QStringLiteral("Facilidad de cada pregunta (proporción de respuestas correctas)");
    Barras discriminacion;
    discriminacion.titulo = QStringLiteral("Discriminación de cada pregunta (línea: 0,20)");
    discriminacion.minimo = -1;
    discriminacion.referencias = { Analisis::kDiscriminacionBaja };
    Barras dif;
    dif.titulo = QStringLiteral("DIF por sexo, delta de Mantel–Haenszel (negativo: favorece a "
                                "Sexo 1; líneas: A, B y C)");
    dif.minimo = -3;
    dif.maximo = 3;
    dif.decimalesEje = 1;
    dif.referencias = { -Analisis::kDifDeltaC, -Analisis::kDifDeltaB, Analisis::kDifDeltaB,
        Analisis::kDifDeltaC };
    for (int q = 0; q < kPreguntas; ++q) {
        const AnalisisItem &item = m.items[q];
        for (Barras *b : { &facilidad, &discriminacion }) {
            b->etiquetas.push_back(QString::number(q + 1));
            b->marcadas.push_back(item.senalada);
        }
        facilidad.valores.push_back(item.facilidad);
        discriminacion.valores.push_back(item.discriminacion.value_or(0));
        dif.etiquetas.push_back(QString::number(q + 1));
        dif.marcadas.push_back(item.difCategoria == QLatin1String("C"));
        dif.valores.push_back(item.difDelta.value_or(0));
    }
    return { facilidad, discriminacion, dif };
}

// One model: its figures, the histogram, each question's facility, discrimination and DIF,
// and the notes of the flagged questions.
void paginaModelo(Informe &informe, const AnalisisModelo &m)
{
    QPainter &p = informe.pintor();
    const QRectF area = informe.area();
    const double ancho = area.width();
    informe.nuevaPagina();
    const double y = informe.encabezado(
        QStringLiteral("%1 — modelo %2").arg(nombreVisible(m.asignatura)).arg(m.modelo),
        QStringLiteral(
            "%1 alumnos; media %2 de 22 correctas, desvío %3, KR-20 %4, error estándar %5. "
            "En rojo, las preguntas con observaciones.")
            .arg(m.alumnos)
            .arg(numero(m.media, 2), numero(m.desvio, 2), opcional(m.kr20, 3),
                opcional(m.errorEstandar, 2)));
    // The notes of the flagged questions take what they need at the foot of the page,
    // in smaller print when there are many; the charts share the rest.
    const QString textoNotas = notasDeModelo(m);
    const double disponible = area.bottom() - y;
    QRectF cajaNotas;
    for (const double puntos : { 7.0, 6.0, 5.0 }) {
        p.setFont(fuente(puntos));
        cajaNotas = p.boundingRect(
            QRectF(0, 0, ancho, disponible), Qt::AlignLeft | Qt::TextWordWrap, textoNotas);
        if (cajaNotas.height() <= disponible * 0.4)
            break;
    }
    const bool conDif = std::any_of(m.items.begin(), m.items.end(),
        [](const AnalisisItem &i) { return i.difDelta.has_value(); });
    const int graficos = conDif ? 4 : 3;
    const double alto = (disponible - cajaNotas.height()) / (graficos * 1.1 + 0.1);
    const Barras histograma = histogramaDeModelo(m);
    dibujarBarras(p, QRectF(0, y, ancho, alto), histograma);

    const auto [facilidad, discriminacion, dif] = barrasDePreguntas(m);
    dibujarBarras(p, QRectF(0, y + alto * 1.1, ancho, alto), facilidad);
    dibujarBarras(p, QRectF(0, y + alto * 2.2, ancho, alto), discriminacion);
    if (conDif)
        dibujarBarras(p, QRectF(0, y + alto * 3.3, ancho, alto), dif);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, area.bottom() - cajaNotas.height(), ancho, cajaNotas.height()),
        Qt::AlignLeft | Qt::TextWordWrap, textoNotas);
}

// One page of the classes' mean percentages, as a table with a bar each.
void paginaClases(Informe &informe, const std::vector<AnalisisEstablecimiento> &establecimientos,
    int pagina, int clasesPorPagina)
{
    QPainter &p = informe.pintor();
    const QRectF area = informe.area();
    const double ancho = area.width();
    informe.nuevaPagina();
    const double y = informe.encabezado(
        QStringLiteral("Porcentaje medio por establecimiento, turno y sección"),
        QStringLiteral(
            "Porcentaje de respuestas correctas, promedio de los alumnos de cada curso y "
            "materia, tal cual y equiparado; la barra muestra el equiparado."));
    std::vector<QStringList> filas { { QStringLiteral("Código"), QStringLiteral("Establecimiento"),
        QStringLiteral("Turno"), QStringLiteral("Sección"), QStringLiteral("Materia"),
        QStringLiteral("Alumnos"), QStringLiteral("% medio"), QStringLiteral("% equiparado") } };
    const size_t desde = size_t(pagina) * clasesPorPagina;
    const size_t hasta = std::min(establecimientos.size(), desde + clasesPorPagina);
    for (size_t i = desde; i < hasta; ++i) {
        const AnalisisEstablecimiento &e = establecimientos[i];
        filas.push_back({ e.codEmpresa, e.nombreEscuela, e.turno, e.seccion,
            nombreVisible(e.asignatura), QString::number(e.alumnos), numero(e.porcentajeMedio, 1),
            numero(e.porcentajeEquiparadoMedio, 1) });
    }
    const std::vector<double> anchosClases { ancho * 0.10, ancho * 0.29, ancho * 0.06, ancho * 0.08,
        ancho * 0.11, ancho * 0.08, ancho * 0.08, ancho * 0.10 };
    dibujarTabla(p, QPointF(0, y), anchosClases, filas);
    const double altoFila = altoDeFila(p.device());
    const double xBarra = std::accumulate(anchosClases.begin(), anchosClases.end(), 0.0) + 6;
    for (size_t i = desde; i < hasta; ++i) {
        const double yFila = y + altoFila * double(i - desde + 1);
        p.fillRect(QRectF(xBarra, yFila + altoFila * 0.2,
                       (ancho - xBarra) * establecimientos[i].porcentajeEquiparadoMedio / 100,
                       altoFila * 0.6),
            kColorBarra);
    }
}

} // namespace

QByteArray dibujarInformePdf(const std::vector<AnalisisModelo> &modelos,
    const std::vector<AnalisisEstablecimiento> &establecimientos, const ResumenCustodia &custodia)
{
    QByteArray bytes;
    QBuffer destino(&bytes);
    destino.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&destino);
    pdf.setResolution(kResolucion);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    pdf.setTitle(QStringLiteral("Resultados y análisis de las preguntas"));
    pdf.setCreator(QStringLiteral("ORBELA"));
    // As many classes to a page as fit under its heading.
    const double encabezadoClases = QFontMetricsF(fuente(15, true), &pdf).height() * 1.1
        + QFontMetricsF(fuente(9), &pdf).height() * 2;
    const int clasesPorPagina
        = std::max(1, int((pdf.height() - 40 - encabezadoClases) / altoDeFila(&pdf)) - 2);
    const int paginasClases
        = int((establecimientos.size() + clasesPorPagina - 1) / clasesPorPagina);
    std::vector<Asignatura> materias;
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        if (std::any_of(modelos.begin(), modelos.end(),
                [a](const AnalisisModelo &m) { return m.asignatura == a; }))
            materias.push_back(a);
    }
    Informe informe(
        pdf, 2 + int(materias.size()) + int(modelos.size()) + std::max(1, paginasClases));
    if (!informe.empezar())
        return {};
    paginaResumen(informe, modelos, custodia);
    paginaLeyenda(informe);
    for (Asignatura a : materias)
        paginaEquiparacion(informe, a, modelos);
    for (const AnalisisModelo &m : modelos)
        paginaModelo(informe, m);
    for (int pagina = 0; pagina < std::max(1, paginasClases); ++pagina)
        paginaClases(informe, establecimientos, pagina, clasesPorPagina);
    if (!informe.terminar())
        return {};
    return bytes;
}
