#include "FrmLengMod1.h"

#include "Controles.h"
#include "Dibujos.h"
#include "Entorno.h"
#include "Geometria.h"
#include "Module1.h"

#include <QLabel>

namespace {
// This form's names, geometry (twips) and tab indexes.
const ConfigExamen kConfiguracion {
    .asignatura = Asignatura::Lengua,
    .nombreFormulario = "FrmLengMod1",
    .nombreBotones = "Command1",
    .prefijoOpciones = "OpLengMod1Preg1Op",
    .nombreBanner = "Picture1",
    .izquierdaBotones = 600,
    .centroImagenY = 4100,
    .altoOpciones = 495,
    .anchoOpciones = { 615, 615, 615, 615 },
    .anchoLabel1 = 8775,
    .anchoLabel2 = 975,
    .tab = { .siguiente = 1,
        .anterior = 2,
        .finalizar = 3,
        .salir = 11,
        .primeraOpcion = 6,
        .primerBoton = 12 },
};
} // namespace

QString FrmLengMod1::textoInstrucciones()
{
    return QStringLiteral(
        "- PARA RESPONDER DESDE LA ACTIVIDAD 1 A LA 11, LEÉ EL PRIMER TEXTO.\r\n"
        "- PARA RESPONDER DESDE LA ACTIVIDAD 12 A LA 22, LEÉ EL SEGUNDO TEXTO.\r\n"
        "- PARA VISUALIZAR LOS TEXTOS, OPRIMIR EL BOTÓN CELESTE EN EL MARGEN "
        "SUPERIOR DERECHO DE LA SIGUIENTE PANTALLA.");
}

FrmLengMod1::FrmLengMod1(Entorno &entorno, Sesion &sesion)
    : FrmExamen(entorno, sesion, kConfiguracion)
{
    QLabel *picture1 = banner();
    picture1->setPixmap(dibujarBannerLengua());

    auto *cmdTexos = crearControl<Boton>(picture1,
        { QStringLiteral("CmdTexos"), QStringLiteral("Textos"), { 12240, 120, 1335, 615 },
            fuenteSans(9.75, true), 0x00FFFFC0 });
    ordenTab(10, cmdTexos);
    connect(cmdTexos, &QPushButton::clicked, this, &FrmLengMod1::CmdTexos_Click);
}

void FrmLengMod1::antesDeCargar()
{
    entorno().mensajes.mostrar(textoInstrucciones(), estilo::kSoloAceptar);
}

void FrmLengMod1::CmdTexos_Click()
{
    const int modelo = sesion().ModeloLeng;
    if (modelo < 1 || modelo > kModelos)
        return;
    entorno().abridor.abrir(rutaTextosLengua(entorno().carpetaPrograma, modelo));
}
