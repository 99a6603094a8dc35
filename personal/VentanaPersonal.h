#pragma once

#include "Claves.h"
#include "Recopilacion.h"

#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QThread;
class VisorPdf;

// The staff's window: prepare a station from the master copy of the content, check a
// station, gather and score the results. The work runs on a thread of its own; the window
// answers meanwhile, and every field and button has its letter for the keyboard.
class VentanaPersonal final : public QWidget {
    Q_OBJECT
public:
    // `carpetaPrograma`: where the station's program is to be found when a station lacks it.
    explicit VentanaPersonal(const QString &carpetaPrograma, QWidget *padre = nullptr);
    ~VentanaPersonal() override;

    // True while a piece of work runs.
    bool ocupada() const;

protected:
    void closeEvent(QCloseEvent *evento) override;

private:
    QWidget *paginaPreparar();
    QWidget *paginaVerificar();
    QWidget *paginaRecopilar();
    void listaDeEstaciones(QGridLayout *grilla, QWidget *pagina);
    void preparar();
    void verificar();
    bool confirmarCopiaConLibros(const QString &estacion);
    void recopilar();
    void mostrarAvance(int hechos, int total, qint64 ms);
    void mostrarRecopilacion(
        const std::optional<LecturaClaves> &claves, const InformeRecopilacion &r, bool conClaves);
    void agregarEstacion(const QString &carpeta);
    // Runs `trabajo` on a thread, then `alTerminar` here; the buttons wait meanwhile.
    void enSegundoPlano(std::function<void()> trabajo, std::function<void()> alTerminar);
    void mostrarError(QLabel *donde, const QString &frase, const QString &detalle);
    void guardarPreferencias() const;
    bool eventFilter(QObject *objeto, QEvent *evento) override;

    QString m_carpetaPrograma;
    QTabWidget *m_pestanas;
    // Preparar
    QLineEdit *m_maestra;
    QLineEdit *m_estacion;
    QLineEdit *m_nombreEstacion;
    QLineEdit *m_registro; // the staff's register of stations, on both pages that use it
    QLineEdit *m_registroRecopilar;
    QPushButton *m_copiar;
    QPlainTextEdit *m_resultadoPreparar;
    QLabel *m_errorPreparar;
    // Verificar
    QLineEdit *m_carpetaVerificar;
    QPushButton *m_comprobar;
    QTableWidget *m_problemas;
    QLabel *m_resumenVerificar;
    // Recopilar
    QLineEdit *m_nuevaEstacion;
    QListWidget *m_estaciones;
    QLineEdit *m_claves;
    QLineEdit *m_salida;
    QPushButton *m_recopilar;
    QPushButton *m_botonCancelar;
    QProgressBar *m_progreso;
    QLabel *m_tiempo;
    QLabel *m_resumenRecopilar;
    QTableWidget *m_omitidos;
    QPushButton *m_abrirInforme;
    QString m_informe;

    QThread *m_hilo = nullptr;
    std::atomic<bool> m_cancelar { false };
    VisorPdf *m_visor; // a child of the window, named "Visor"
};
