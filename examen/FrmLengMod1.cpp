#include "FrmLengMod1.h"

#include "Dibujos.h"
#include "Entorno.h"
#include "Geometria.h"
#include "Module1.h"

#include <QLabel>

const ConfigExamen &FrmLengMod1::configuracion()
{
    static const ConfigExamen config {
        .asignatura = Asignatura::Lengua,
        .nombreFormulario = "FrmLengMod1",
        .nombreBotones = "Command1",
        .prefijoOpciones = "OpLengMod1Preg1Op",
        .nombreBanner = "Picture1",
        .izquierdaBotones = 600,
        .centroImagenY = 4100,
        .altoOpciones = 495,
        .anchoOpciones = {615, 615, 615, 615},
        .anchoLabel1 = 8775,
        .anchoLabel2 = 975,
        .tabSiguiente = 1,
        .tabAnterior = 2,
        .tabFinalizar = 3,
        .tabSalir = 11,
        .tabPrimeraOpcion = 6,
        .tabPrimerBoton = 12,
    };
    return config;
}

QString FrmLengMod1::textoInstrucciones()
{
    return QStringLiteral("- PARA RESPONDER DESDE LA ACTIVIDAD 1 A LA 11, LEÉ EL PRIMER TEXTO.\r\n"
                          "- PARA RESPONDER DESDE LA ACTIVIDAD 12 A LA 22, LEÉ EL SEGUNDO TEXTO.\r\n"
                          "- PARA VISUALIZAR LOS TEXTOS, OPRIMIR EL BOTÓN CELESTE EN EL MARGEN "
                          "SUPERIOR DERECHO DE LA SIGUIENTE PANTALLA.");
}

FrmLengMod1::FrmLengMod1(Entorno &entorno, Sesion &sesion)
    : FrmExamen(entorno, sesion, configuracion())
{
    QLabel *picture1 = banner();
    picture1->setPixmap(dibujarBannerLengua());

    auto *cmdTexos = new Boton(QStringLiteral("Textos"), picture1);
    cmdTexos->setObjectName(QStringLiteral("CmdTexos"));
    cmdTexos->setGeometry(twRect(12240, 120, 1335, 615));
    cmdTexos->setColorFondo(0x00FFFFC0);
    cmdTexos->setFont(fuenteSans(9.75, true));
    ordenTab(10, cmdTexos);
    connect(cmdTexos, &QPushButton::clicked, this, &FrmLengMod1::CmdTexos_Click);
}

void FrmLengMod1::antesDeCargar()
{
    m_entorno.mensajes.mostrar(textoInstrucciones(), estilo::kSoloAceptar);
}

void FrmLengMod1::CmdTexos_Click()
{
    const int modelo = m_sesion.ModeloLeng;
    if (modelo < 1 || modelo > kModelos)
        return;
    m_entorno.abridor.abrir(rutaTextosLengua(m_entorno.carpetaPrograma, modelo));
}
