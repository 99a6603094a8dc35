#include "FrmMatMod1H1.h"

#include "Controles.h"
#include "Dibujos.h"
#include "Entorno.h"
#include "Entradas.h"
#include "Geometria.h"

#include <QLabel>
#include <QPainter>

namespace {
// This form's names, geometry (twips) and tab indexes.
const ConfigExamen kConfiguracion {
    .asignatura = Asignatura::Matematica,
    .nombreFormulario = "FrmMatMod1H1",
    .nombreBotones = "CmdPreg",
    .prefijoOpciones = "OpMatMod1Preg1Op",
    .nombreBanner = "Picture3",
    .izquierdaBotones = 480,
    .centroImagenY = 4250,
    .altoOpciones = 480,
    .anchoOpciones = { 615, 615, 735, 615 },
    .anchoLabel1 = 8895,
    .anchoLabel2 = 1215,
    .tab = { .siguiente = 1,
        .anterior = 7,
        .finalizar = 8,
        .salir = 12,
        .primeraOpcion = 2,
        .primerBoton = 13 },
};
} // namespace

FrmMatMod1H1::FrmMatMod1H1(Entorno &entorno, Sesion &sesion)
    : FrmExamen(entorno, sesion, kConfiguracion)
    , m_logo(dibujarLogoProducto())
{
    QLabel *picture3 = banner();
    ponerColorFondo(picture3, kColorFondoVentana);
    picture3->setPixmap(dibujarBannerMatematica());

    auto *label3 = crearControl<QLabel>(
        this, { QStringLiteral("Label3"), {}, { 0, 840, 6015, 375 }, {}, kColorCaraBoton });
    label3->stackUnder(picture3);

    auto *cmdTabla = crearControl<Boton>(this,
        { QStringLiteral("CmdTabla"), QStringLiteral("Tabla de fórmulas"),
            { 12240, 120, 1335, 660 }, fuenteSans(9.75, true), 0x00FFFFC0 });
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
    const QString ruta = rutaTablaFormulas(entorno().carpetaPrograma);
    // No table, or a folder of its name, is a station without one: the button does nothing.
    // Anything else at that name goes to the viewer, which says when it cannot be read.
    const TipoEntrada tipo = tipoEntrada(ruta);
    if (tipo == TipoEntrada::Ninguna || tipo == TipoEntrada::Carpeta
        || (tipo == TipoEntrada::Archivo && !entorno().archivos.existeArchivoOrdinario(ruta)))
        return;
    entorno().abridor.abrir(ruta);
}
