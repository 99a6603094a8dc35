#include "VisorPdf.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
constexpr qreal kPaso = 1.25;
constexpr qreal kZoomMinimo = 0.25;
constexpr qreal kZoomMaximo = 6.0;

QPushButton *botonBarra(QWidget *padre, const QString &texto, const QString &ayuda)
{
    auto *boton = new QPushButton(texto, padre);
    boton->setToolTip(ayuda);
    boton->setAutoDefault(false);
    boton->setFocusPolicy(Qt::NoFocus);
    return boton;
}
} // namespace

VentanaDocumento::VentanaDocumento(const QString &ruta)
    : m_documento(new QPdfDocument(this))
    , m_vista(new QPdfView(this))
    , m_pagina(new QLabel(this))
    , m_aviso(new QLabel(this))
{
    setObjectName(QStringLiteral("VisorDocumento"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ORBELA - ") + QFileInfo(ruta).completeBaseName());

    m_alejar = botonBarra(this, QStringLiteral("−"), QStringLiteral("Alejar (Ctrl y −)"));
    m_acercar = botonBarra(this, QStringLiteral("+"), QStringLiteral("Acercar (Ctrl y +)"));
    QPushButton *ancho = botonBarra(this, QStringLiteral("Ajustar al ancho"), QString());
    m_pagina->setObjectName(QStringLiteral("Pagina"));
    auto *barra = new QHBoxLayout;
    barra->addWidget(m_alejar);
    barra->addWidget(m_acercar);
    barra->addWidget(ancho);
    barra->addStretch();
    barra->addWidget(m_pagina);

    m_aviso->setObjectName(QStringLiteral("Aviso"));
    m_aviso->setAlignment(Qt::AlignCenter);
    m_aviso->setWordWrap(true);
    QFont grande = m_aviso->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.6);
    grande.setBold(true);
    m_aviso->setFont(grande);

    auto *columna = new QVBoxLayout(this);
    columna->addLayout(barra);
    columna->addWidget(m_vista, 1);
    columna->addWidget(m_aviso, 1);

    const QString nombre = QFileInfo(ruta).fileName();
    if (!QFileInfo(ruta).isFile()) {
        m_aviso->setText(QStringLiteral("No se encuentra el documento \"%1\".\nAvise al supervisor.").arg(nombre));
    } else if (m_documento->load(ruta) != QPdfDocument::Error::None || m_documento->pageCount() < 1) {
        m_aviso->setText(QStringLiteral("No se puede leer el documento \"%1\".\nAvise al supervisor.").arg(nombre));
    } else {
        m_cargado = true;
    }
    m_vista->setVisible(m_cargado);
    m_aviso->setVisible(!m_cargado);
    for (QWidget *control : {static_cast<QWidget *>(m_alejar), static_cast<QWidget *>(m_acercar),
                             static_cast<QWidget *>(ancho), static_cast<QWidget *>(m_pagina)})
        control->setEnabled(m_cargado);
    if (!m_cargado)
        return;

    m_vista->setObjectName(QStringLiteral("Documento"));
    m_vista->setDocument(m_documento);
    m_vista->setPageMode(QPdfView::PageMode::MultiPage);
    m_vista->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_vista->viewport()->installEventFilter(this);
    m_vista->setFocus();
    connect(m_vista->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, &VentanaDocumento::mostrarPagina);
    connect(m_alejar, &QPushButton::clicked, this, &VentanaDocumento::alejar);
    connect(m_acercar, &QPushButton::clicked, this, &VentanaDocumento::acercar);
    connect(ancho, &QPushButton::clicked, this, [this] { m_vista->setZoomMode(QPdfView::ZoomMode::FitToWidth); });
    for (const QKeySequence &tecla : {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)})
        connect(new QShortcut(tecla, this), &QShortcut::activated, this, &VentanaDocumento::acercar);
    connect(new QShortcut(QKeySequence(QKeySequence::ZoomOut), this), &QShortcut::activated, this, &VentanaDocumento::alejar);
    mostrarPagina();
}

QString VentanaDocumento::aviso() const
{
    return m_aviso->text();
}

int VentanaDocumento::pagina() const
{
    return m_cargado ? m_vista->pageNavigator()->currentPage() + 1 : 0;
}

int VentanaDocumento::paginas() const
{
    return m_cargado ? m_documento->pageCount() : 0;
}

qreal VentanaDocumento::zoom() const
{
    return zoomEfectivo();
}

qreal VentanaDocumento::zoomEfectivo() const
{
    if (m_vista->zoomMode() == QPdfView::ZoomMode::Custom)
        return m_vista->zoomFactor();
    const qreal puntos = m_documento->pagePointSize(0).width();
    const QScreen *pantalla = screen() ? screen() : QGuiApplication::primaryScreen();
    const qreal pixelesPorPunto = pantalla ? pantalla->logicalDotsPerInch() / 72.0 : 1.0;
    const QMargins margenes = m_vista->documentMargins();
    const int disponible = m_vista->viewport()->width() - margenes.left() - margenes.right();
    return puntos > 0 ? qMax(kZoomMinimo, disponible / (puntos * pixelesPorPunto)) : 1.0;
}

void VentanaDocumento::ponerZoom(qreal factor)
{
    m_vista->setZoomMode(QPdfView::ZoomMode::Custom);
    m_vista->setZoomFactor(qBound(kZoomMinimo, factor, kZoomMaximo));
}

void VentanaDocumento::acercar()
{
    if (m_cargado)
        ponerZoom(zoomEfectivo() * kPaso);
}

void VentanaDocumento::alejar()
{
    if (m_cargado)
        ponerZoom(zoomEfectivo() / kPaso);
}

void VentanaDocumento::mostrarPagina()
{
    m_pagina->setText(QStringLiteral("página %1 de %2").arg(pagina()).arg(paginas()));
}

bool VentanaDocumento::eventFilter(QObject *objeto, QEvent *evento)
{
    // Ctrl and the wheel zoom, as in every viewer; the wheel alone scrolls.
    if (objeto == m_vista->viewport() && evento->type() == QEvent::Wheel) {
        auto *rueda = static_cast<QWheelEvent *>(evento);
        if (rueda->modifiers() & Qt::ControlModifier) {
            if (rueda->angleDelta().y() > 0)
                acercar();
            else if (rueda->angleDelta().y() < 0)
                alejar();
            return true;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void VentanaDocumento::resizeEvent(QResizeEvent *evento)
{
    QWidget::resizeEvent(evento);
    if (m_cargado)
        mostrarPagina();
}

VisorPdf::~VisorPdf()
{
    for (const QPointer<VentanaDocumento> &ventana : std::as_const(m_ventanas))
        delete ventana.data();
}

VentanaDocumento *VisorPdf::ventana(const QString &ruta) const
{
    return m_ventanas.value(QFileInfo(ruta).absoluteFilePath()).data();
}

void VisorPdf::abrir(const QString &ruta)
{
    const QString clave = QFileInfo(ruta).absoluteFilePath();
    QPointer<VentanaDocumento> &ventana = m_ventanas[clave];
    if (!ventana)
        ventana = new VentanaDocumento(ruta);
    ventana->setWindowState((ventana->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    ventana->show();
    ventana->raise();
    ventana->activateWindow();
}
