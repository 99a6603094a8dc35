#pragma once

#include "Abridor.h"
#include "Archivos.h"
#include "Entorno.h"
#include "EscritorXlsx.h"
#include "HojaCalculo.h"
#include "LibrosDePrueba.h"
#include "Mensajes.h"
#include "Module1.h"
#include "Reloj.h"

#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>
#include <QSet>
#include <QSize>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

struct LlamadaMensaje {
    QString texto;
    int estilo;
    QString titulo;
    QString archivoAyuda;
    int contextoAyuda;
};

// Records every box. OK-only boxes are answered OK; Yes/No boxes take the scripted answers in
// order, then No.
class MensajesFalsos final : public IMensajes {
public:
    int mostrar(const QString &texto, int estilo, const QString &titulo,
        const QString &archivoAyuda, int contextoAyuda) override;
    QStringList textos() const;

    QList<LlamadaMensaje> llamadas;
    QList<int> respuestas;
    std::function<void(const LlamadaMensaje &)> alMostrar;
};

// Gives the listed seconds one reading after another, then repeats the last one.
class RelojFalso final : public IReloj {
public:
    int segundos() const override;
    QList<int> lecturas { 0 };
    mutable int leidas = 0;
};

class AbridorFalso final : public IAbridorDocumentos {
public:
    void abrir(const QString &ruta) override { abiertos << ruta; }
    QStringList abiertos;
};

// Real files, with chosen files that refuse to be deleted (as a file in use would).
class ArchivosConFallos final : public ArchivosLocales {
public:
    Resultado borrarArchivo(const QString &ruta) override;
    QSet<QString> noBorrables;
};

// The steps of a save on disk, in order: the system's calls a save makes.
enum class PasoEscritura { Abrir, Escribir, AsegurarDatos, Cerrar, Reemplazar, AsegurarCarpeta };

// The real disk, whose call of the system at a chosen step fails with a chosen error (a full
// disk unless told), and whose read-backs of staged files can be made to differ from what was
// written.
class DiscoConFallos final : public DiscoLocal {
public:
    DiscoConFallos();
    Resultado leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes) override;
    Resultado escribir(const QString &ruta, const QByteArray &bytes) override;
    std::optional<PasoEscritura> fallarEn;
    int errorDelSistema;
    bool alterarRelectura = false;
    int escrituras = 0;
};

// A program folder of its own with fakes for every platform service.
struct Banco {
    Banco();
    QString carpeta() const { return dir.path(); }

    QTemporaryDir dir;
    MensajesFalsos mensajes;
    ArchivosConFallos archivos;
    RelojFalso reloj;
    AbridorFalso abridor;
    DiscoConFallos disco;
    LibroXlsx hoja { disco };
    Entorno entorno;
    Sesion sesion;
};

// A registered student: EE0310002, shift T, section 3A, sex 2, student code 0987, models 4
// (mathematics) and 6 (language); no workbook yet.
Sesion alumnoDePrueba();

// Small pictures for the content folder (a real JPEG, any size).
void crearImagen(const QString &ruta, QSize tamano = QSize(60, 30));
void crearArchivo(const QString &ruta, const QByteArray &contenido = "x");
// The SHA-256 of a file's bytes, empty when it cannot be read: "byte for byte the same".
QByteArray huella(const QString &ruta);
// A PDF made of `objetos` (object 1 is the catalogue) with a cross-reference table that finds
// them, and `trailer` added to its trailer: the hostile documents are made with it.
QByteArray pdfDeObjetos(const QList<QByteArray> &objetos, const QByteArray &trailer = {});
// The kinds of document a viewer meets: "ciclo" (a page tree that holds itself), "paginas"
// (10,000 empty pages), "cifrado" (asks for a password it never gets).
QByteArray pdfDePrueba(const QByteArray &tipo);
// Every picture of every model of the subject, plus `extra` files per model folder.
void crearContenidoAsignatura(const QString &carpeta, Asignatura asignatura, int preguntas = 22);

// Drives a sequence of modal windows, as a person at the keyboard would: each step waits for
// a visible modal window of its name that is not one an earlier step closed, then acts on it.
// The steps run while the caller's modal loops spin; a script that is destroyed stops.
class Guion {
public:
    Guion() = default;
    // One step, started at once.
    Guion(const QString &nombre, std::function<void(QWidget *)> accion);
    void paso(const QString &nombre, std::function<void(QWidget *)> accion);
    void iniciar();
    bool completo() const { return m_siguiente >= m_pasos.size(); }
    QString pendiente() const;

private:
    void revisar();
    struct Paso {
        QString nombre;
        std::function<void(QWidget *)> accion;
    };
    QList<Paso> m_pasos;
    qsizetype m_siguiente = 0;
    QElapsedTimer m_progreso;
    std::unique_ptr<QTimer> m_temporizador;
};

// Steps of a student at the station's screens, for a Guion. The registration of the tests'
// student (ee0310004, shift M, section 4b, sex X) with the student code `dni`.
void registrarAlumno(QWidget *w, const QString &dni);
std::function<void(QWidget *)> clic(const QString &boton);
std::function<void(QWidget *)> elegirYClic(const QString &opcion, const QString &boton);
std::function<void(QWidget *)> codigo(const QString &c);

// The names of the controls Tab visits from `inicio`, `pasos` times, in an active window.
QStringList recorridoDeTabulacion(QWidget *inicio, int pasos);

// A script run by Debian's Python, where the dependency script installs openpyxl, with sys and
// openpyxl imported: programs we did not write must read our workbooks as we do.
struct SalidaPython {
    bool ok = false;
    QString salida;
    QString error;
};
SalidaPython ejecutarPython(const QString &guion, const QStringList &argumentos);

// Runs this test program again with `argumento` on an X server of `pantalla` pixels with a
// window manager (openbox), once the manager is up. Its output; empty, with the reason in
// `omitido`, when the machine lacks what that takes.
QString ejecutarConGestorDeVentanas(QSize pantalla, const QString &argumento, QString *omitido);

// The small screens a window must fit whole: a small one and a netbook's. A data table's rows
// of one column "pantalla".
void filasDePantallasChicas();
// This test program again with "--pantalla-chica" on `pantalla` under a window manager, as
// above: what it printed when that was all well ("fin: N …" with N ≥ `minimo` and nothing
// before it), else what went wrong; `omitido` says why it could not run at all, or could not
// judge (the manager framed no window).
QString fallaEnPantallaChica(QSize pantalla, int minimo, QString *omitido);

// Runs this test program again with `argumentos` inside a mount namespace of its own, where it
// may mount small file systems that vanish with it. Returns the child's exit status,
// kSinLanzador when the machine does not allow it (not root, no unshare) and kHijoFallido when
// the child crashed or hung; the child returns kSinMontaje when it cannot mount.
constexpr int kSinMontaje = 77;
// The launcher is missing or the machine refuses it: the test cannot run here.
constexpr int kSinLanzador = -1;
// The child crashed or hung: the test failed.
constexpr int kHijoFallido = -2;
int ejecutarAislado(const QStringList &argumentos, QByteArray *salida);

// The random moments of a kill test, drawn from a seed that is printed so that a failure can
// be replayed: SEMILLA=<n> in the environment draws the same moments again.
QRandomGenerator azarSembrado();
// Runs this test program again with `argumentos` as a user without privileges (nobody when
// the tests run as root, who ignores permissions). The same codes as above.
int ejecutarSinPrivilegios(const QStringList &argumentos, QByteArray *salida);
// Inside such a namespace: a file system of `kib` KiB at `carpeta`.
bool montarDiscoChico(const QString &carpeta, int kib);
// Fills the disk of `carpeta` to the last byte with one file, and returns its path.
QString llenarDisco(const QString &carpeta);

template <typename T> T *hijo(QWidget *ventana, const QString &nombre)
{
    return ventana->findChild<T *>(nombre);
}
