#include "InformePdf.h"

#include <QBuffer>
#include <QDate>
#include <QLocale>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr int kResolucion = 150;
const QColor kColorBarra(52, 101, 164);
const QColor kColorMarcada(204, 0, 0);
const QColor kColorLinea(120, 120, 120);

QString materiaConAcento(Asignatura a)
{
    return a == Asignatura::Matematica ? QStringLiteral("Matemática") : QStringLiteral("Lengua");
}

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
    std::optional<double> referencia; // a dashed line, such as the low-discrimination limit
    int decimalesEje = 2;
};

// A bar chart drawn into `area`: title, axis with its limits, the bars, their labels below.
void dibujarBarras(QPainter &p, const QRectF &area, const Barras &b)
{
    p.save();
    p.setFont(fuente(10, true));
    const QFontMetricsF titulo(p.font(), p.device());
    p.setPen(Qt::black);
    p.drawText(QRectF(area.left(), area.top(), area.width(), titulo.height()), Qt::AlignLeft, b.titulo);
    p.setFont(fuente(7));
    const QFontMetricsF fm(p.font(), p.device());
    const double ejeAncho = fm.horizontalAdvance(QStringLiteral("-0,00")) + 8;
    const QRectF grafico(area.left() + ejeAncho, area.top() + titulo.height() * 1.5, area.width() - ejeAncho,
                         area.height() - titulo.height() * 1.5 - fm.height() * 1.6);
    const double rango = b.maximo - b.minimo;
    auto y = [&](double v) { return grafico.bottom() - (v - b.minimo) / rango * grafico.height(); };

    p.setPen(QPen(kColorLinea, 1));
    p.drawRect(grafico);
    for (double marca : {b.minimo, (b.minimo + b.maximo) / 2, b.maximo}) {
        p.drawLine(QPointF(grafico.left() - 4, y(marca)), QPointF(grafico.left(), y(marca)));
        p.setPen(Qt::black);
        p.drawText(QRectF(area.left(), y(marca) - fm.height() / 2, ejeAncho - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   numero(marca, b.decimalesEje));
        p.setPen(QPen(kColorLinea, 1));
    }
    const double cero = y(std::clamp(0.0, b.minimo, b.maximo));
    if (b.minimo < 0)
        p.drawLine(QPointF(grafico.left(), cero), QPointF(grafico.right(), cero));
    if (b.referencia) {
        p.setPen(QPen(kColorMarcada, 1, Qt::DashLine));
        p.drawLine(QPointF(grafico.left(), y(*b.referencia)), QPointF(grafico.right(), y(*b.referencia)));
    }

    const double paso = grafico.width() / double(b.valores.size());
    for (size_t i = 0; i < b.valores.size(); ++i) {
        const bool marcada = i < b.marcadas.size() && b.marcadas[i];
        const double v = std::clamp(b.valores[i], b.minimo, b.maximo);
        const QRectF barra = QRectF(QPointF(grafico.left() + paso * (i + 0.15), std::min(cero, y(v))),
                                    QPointF(grafico.left() + paso * (i + 0.85), std::max(cero, y(v))));
        p.fillRect(barra, marcada ? kColorMarcada : kColorBarra);
        p.setPen(marcada ? kColorMarcada : Qt::black);
        const QString etiqueta = i < b.etiquetas.size() ? b.etiquetas[i] : QString();
        p.drawText(QRectF(grafico.left() + paso * i, grafico.bottom() + 2, paso, fm.height() * 1.5),
                   Qt::AlignHCenter | Qt::AlignTop, marcada ? etiqueta + QStringLiteral("!") : etiqueta);
    }
    p.restore();
}

// Every measure is taken on the PDF itself: its resolution is not the screen's.
double altoDeFila(const QPaintDevice *dispositivo)
{
    return QFontMetricsF(fuente(8), dispositivo).height() * 1.35;
}

// A table of rows of text, the first row as its header; returns the height used.
double dibujarTabla(QPainter &p, QPointF origen, const std::vector<double> &anchos, const std::vector<QStringList> &filas)
{
    p.save();
    const double alto = altoDeFila(p.device());
    double yFila = origen.y();
    for (size_t f = 0; f < filas.size(); ++f) {
        p.setFont(fuente(8, f == 0));
        const QFontMetricsF fm(p.font(), p.device());
        if (f == 0)
            p.fillRect(QRectF(origen.x(), yFila, std::accumulate(anchos.begin(), anchos.end(), 0.0), alto), QColor(225, 225, 225));
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
        m_p.drawText(QRectF(0, m_pdf.height() - 30, m_pdf.width(), 30), Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("Página %1 de %2").arg(m_pagina).arg(m_paginas));
    }

    QPdfWriter &m_pdf;
    QPainter m_p;
    int m_paginas;
    int m_pagina = 0;
};

QStringList filaModelo(const AnalisisModelo &m)
{
    return {materiaConAcento(m.asignatura), QString::number(m.modelo), QString::number(m.alumnos), numero(m.media, 2),
            numero(m.desvio, 2), opcional(m.kr20, 3), opcional(m.errorEstandar, 2)};
}

} // namespace

QColor colorMarcada()
{
    return kColorMarcada;
}

QByteArray dibujarInformePdf(const std::vector<AnalisisModelo> &modelos,
                             const std::vector<AnalisisEstablecimiento> &establecimientos)
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
    const int clasesPorPagina = std::max(1, int((pdf.height() - 40 - encabezadoClases) / altoDeFila(&pdf)) - 2);
    const int paginasClases = int((establecimientos.size() + clasesPorPagina - 1) / clasesPorPagina);
    Informe informe(pdf, 1 + int(modelos.size()) + std::max(1, paginasClases));
    if (!informe.empezar())
        return {};
    QPainter &p = informe.pintor();
    const QRectF area = informe.area();
    const double ancho = area.width();

    // The models at a glance.
    double y = informe.encabezado(QStringLiteral("Resultados y análisis de las preguntas"),
                                  QStringLiteral("Generado el %1 a partir de los libros de resultados recopilados.")
                                      .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
    std::vector<QStringList> tabla {{QStringLiteral("Materia"), QStringLiteral("Modelo"), QStringLiteral("Alumnos"),
                                     QStringLiteral("Media"), QStringLiteral("Desvío"), QStringLiteral("KR-20"),
                                     QStringLiteral("Error estándar")}};
    for (const AnalisisModelo &m : modelos)
        tabla.push_back(filaModelo(m));
    std::vector<double> anchos(7, ancho / 7);
    dibujarTabla(p, QPointF(0, y), anchos, tabla);

    for (const AnalisisModelo &m : modelos) {
        informe.nuevaPagina();
        y = informe.encabezado(QStringLiteral("%1 — modelo %2").arg(materiaConAcento(m.asignatura)).arg(m.modelo),
                               QStringLiteral("%1 alumnos; media %2 de 22 correctas, desvío %3, KR-20 %4, error estándar %5. "
                                              "En rojo, las preguntas con observaciones.")
                                   .arg(m.alumnos)
                                   .arg(numero(m.media, 2), numero(m.desvio, 2), opcional(m.kr20, 3), opcional(m.errorEstandar, 2)));
        // The notes of the flagged questions take what they need at the foot of the page,
        // in smaller print when there are many; the charts share the rest.
        QStringList notas;
        for (int q = 0; q < kPreguntas; ++q) {
            const AnalisisItem &item = m.items[q];
            if (!item.observacion.isEmpty())
                notas << QStringLiteral("Pregunta %1 (clave %2): %3").arg(q + 1).arg(QChar(item.clave)).arg(item.observacion);
        }
        const QString textoNotas = notas.isEmpty() ? QStringLiteral("Ninguna pregunta con observaciones.") : notas.join('\n');
        const double disponible = area.bottom() - y;
        QRectF cajaNotas;
        for (const double puntos : {7.0, 6.0, 5.0}) {
            p.setFont(fuente(puntos));
            cajaNotas = p.boundingRect(QRectF(0, 0, ancho, disponible), Qt::AlignLeft | Qt::TextWordWrap, textoNotas);
            if (cajaNotas.height() <= disponible * 0.4)
                break;
        }
        const double alto = (disponible - cajaNotas.height()) / 3.4;
        Barras histograma;
        histograma.titulo = QStringLiteral("Alumnos por cantidad de respuestas correctas");
        histograma.maximo = std::max(1, *std::max_element(m.histograma.begin(), m.histograma.end()));
        histograma.decimalesEje = 0;
        for (int c = 0; c <= kPreguntas; ++c) {
            histograma.valores.push_back(m.histograma[c]);
            histograma.etiquetas.push_back(QString::number(c));
        }
        dibujarBarras(p, QRectF(0, y, ancho, alto), histograma);

        Barras facilidad;
        facilidad.titulo = QStringLiteral("Facilidad de cada pregunta (proporción de respuestas correctas)");
        Barras discriminacion;
        discriminacion.titulo = QStringLiteral("Discriminación de cada pregunta (línea: 0,20)");
        discriminacion.minimo = -1;
        discriminacion.referencia = Analisis::kDiscriminacionBaja;
        for (int q = 0; q < kPreguntas; ++q) {
            const AnalisisItem &item = m.items[q];
            for (Barras *b : {&facilidad, &discriminacion}) {
                b->etiquetas.push_back(QString::number(q + 1));
                b->marcadas.push_back(!item.observacion.isEmpty());
            }
            facilidad.valores.push_back(item.facilidad);
            discriminacion.valores.push_back(item.discriminacion.value_or(0));
        }
        dibujarBarras(p, QRectF(0, y + alto * 1.1, ancho, alto), facilidad);
        dibujarBarras(p, QRectF(0, y + alto * 2.2, ancho, alto), discriminacion);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, area.bottom() - cajaNotas.height(), ancho, cajaNotas.height()),
                   Qt::AlignLeft | Qt::TextWordWrap, textoNotas);
    }

    // The classes' mean percentages, as a table with a bar each.
    for (int pagina = 0; pagina < std::max(1, paginasClases); ++pagina) {
        informe.nuevaPagina();
        y = informe.encabezado(QStringLiteral("Porcentaje medio por establecimiento, turno y sección"),
                               QStringLiteral("Porcentaje de respuestas correctas, promedio de los alumnos de cada curso y materia."));
        std::vector<QStringList> filas {{QStringLiteral("Código"), QStringLiteral("Establecimiento"), QStringLiteral("Turno"),
                                         QStringLiteral("Sección"), QStringLiteral("Materia"), QStringLiteral("Alumnos"),
                                         QStringLiteral("% medio")}};
        const size_t desde = size_t(pagina) * clasesPorPagina;
        const size_t hasta = std::min(establecimientos.size(), desde + clasesPorPagina);
        for (size_t i = desde; i < hasta; ++i) {
            const AnalisisEstablecimiento &e = establecimientos[i];
            filas.push_back({e.codEmpresa, e.nombreEscuela, e.turno, e.seccion, materiaConAcento(e.asignatura),
                             QString::number(e.alumnos), numero(e.porcentajeMedio, 1)});
        }
        const std::vector<double> anchosClases {ancho * 0.11, ancho * 0.33, ancho * 0.06, ancho * 0.08,
                                                ancho * 0.11, ancho * 0.09, ancho * 0.09};
        dibujarTabla(p, QPointF(0, y), anchosClases, filas);
        const double altoFila = altoDeFila(&pdf);
        const double xBarra = std::accumulate(anchosClases.begin(), anchosClases.end(), 0.0) + 6;
        for (size_t i = desde; i < hasta; ++i) {
            const double yFila = y + altoFila * double(i - desde + 1);
            p.fillRect(QRectF(xBarra, yFila + altoFila * 0.2, (ancho - xBarra) * establecimientos[i].porcentajeMedio / 100,
                              altoFila * 0.6),
                       kColorBarra);
        }
    }
    if (!informe.terminar())
        return {};
    return bytes;
}
