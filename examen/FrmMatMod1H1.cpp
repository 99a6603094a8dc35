#include "FrmMatMod1H1.h"

#include "Dibujos.h"
#include "Entorno.h"
#include "Geometria.h"

#include <QLabel>
#include <QPainter>

const ConfigExamen &FrmMatMod1H1::configuracion()
{
    static const ConfigExamen config {
        .asignatura = Asignatura::Matematica,
        .nombreFormulario = "FrmMatMod1H1",
        .nombreBotones = "CmdPreg",
        .prefijoOpciones = "OpMatMod1Preg1Op",
        .nombreBanner = "Picture3",
        .izquierdaBotones = 480,
        .centroImagenY = 4250,
        .altoOpciones = 480,
        .anchoOpciones = {615, 615, 735, 615},
        .anchoLabel1 = 8895,
        .anchoLabel2 = 1215,
        .tabSiguiente = 1,
        .tabAnterior = 7,
        .tabFinalizar = 8,
        .tabSalir = 12,
        .tabPrimeraOpcion = 2,
        .tabPrimerBoton = 13,
    };
    return config;
}

FrmMatMod1H1::FrmMatMod1H1(Entorno &entorno, Sesion &sesion)
    : FrmExamen(entorno, sesion, configuracion())
    , m_logo(dibujarLogoProducto())
{
    QLabel *picture3 = banner();
    picture3->setAutoFillBackground(true);
    QPalette paleta = picture3->palette();
    paleta.setColor(QPalette::Window, colorVB(kColorFondoVentana));
    picture3->setPalette(paleta);
    picture3->setPixmap(dibujarBannerMatematica());

    auto *label3 = new QLabel(this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setGeometry(twRect(0, 840, 6015, 375));
    label3->setAutoFillBackground(true);
    label3->stackUnder(picture3);

    auto *cmdTabla = new Boton(QStringLiteral("Tabla de fórmulas"), this);
    cmdTabla->setObjectName(QStringLiteral("CmdTabla"));
    cmdTabla->setGeometry(twRect(12240, 120, 1335, 660));
    cmdTabla->setColorFondo(0x00FFFFC0);
    cmdTabla->setFont(fuenteSans(9.75, true));
    ordenTab(9, cmdTabla);
    connect(cmdTabla, &QPushButton::clicked, this, &FrmMatMod1H1::CmdTabla_Click);
}

void FrmMatMod1H1::paintEvent(QPaintEvent *evento)
{
    FrmExamen::paintEvent(evento);
    QPainter(this).drawPixmap(0, 0, m_logo);
}

void FrmMatMod1H1::CmdTabla_Click()
{
    const QString ruta = rutaTablaFormulas(m_entorno.carpetaPrograma);
    if (m_entorno.archivos.existeArchivoOrdinario(ruta))
        m_entorno.abridor.abrir(ruta);
}
