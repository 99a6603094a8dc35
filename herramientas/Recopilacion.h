#pragma once

#include "Auditoria.h"
#include "Resultado.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <utility>

class Claves;

struct InformeRecopilacion {
    int libros = 0; // workbooks gathered
    int filas = 0; // student-and-subject rows written
    int puntuadas = 0; // rows scored against the key
    QStringList omitidos; // "file: reason" for every workbook or row left out
    // Ok when every output was written; otherwise its cause, and in its detail the whole
    // sentence the staff read.
    Resultado resultado;
    QString salidaCsv;
    QString salidaPdf; // with a key only
    QList<std::pair<QString, double>> fases; // seconds each step took, in their order
    // With a register of stations: every station's custody and each problem found.
    bool conSellos = false;
    std::vector<Custodia::FilaEstacion> estaciones;
    std::vector<Custodia::Problema> problemasCustodia;
    int verificadas = 0; // rows whose seal is "verificado"
    // A run killed while placing its outputs was found, and its set placed whole first.
    bool colocacionCompletada = false;
};

// Gathers every "Apl Examen - *.xlsx" of the folders into one workbook (sheet "Resultados":
// a header, then one row per student and subject with the 32 report columns and the source
// file's name) and the same rows as UTF-8 CSV beside it. Sources are only read; the workbook
// is read back before it takes its place.
//
// With `claves`, the workbook also gets the sheets "Puntajes" (each student's score),
// "Items" (facility, discrimination and choices of every question), "Modelos" (mean,
// deviation, KR-20 of every model) and "Establecimientos" (each class's mean percentage),
// and a printable report goes beside it as a PDF.
//
// No output may be an input: one that would replace the key (`rutaClaves`) or lie inside a
// folder being read is refused. The three files are written beside their places and read
// back, and only then does each replace its old one; a failure leaves the old set whole, and a
// kill leaves a set that the next collection (or the staff's window) places whole.
// When `cancelar` turns true the run stops at the next batch, and nothing is placed.
//
// With `registro`, every row's seal is judged against the register and the journals of the
// stations' folders (column "Sello"; a row that is not "verificado" stays in "Resultados" and
// counts in no statistic), and the sheet "Custodia" reconciles each station's journal with the
// rows that arrived.
InformeRecopilacion recopilarResultados(const QString &salidaXlsx, const QStringList &carpetas,
    const std::function<void(int hechos, int total)> &progreso = {}, const Claves *claves = nullptr,
    const QString &rutaClaves = {}, const std::atomic<bool> *cancelar = nullptr,
    const RegistroEstaciones *registro = nullptr);

// What a collection killed while it placed its outputs left: its set is placed whole (it was
// written and proven before any of it took its place), and whatever killed runs staged beside
// the outputs is removed. Every collection does it first; the staff's window does it when it
// opens. `completada` says whether a set was placed.
Resultado completarRecopilacionInterrumpida(const QString &salidaXlsx, bool *completada);

// Sets up a process that collects, before any thread or the application starts; call it first
// in main. The report is drawn, so fonts are needed, but never a screen: the offscreen
// platform unless one is chosen (a program with windows of its own passes `conVentanas`). And
// the archive library converts the date of every part it opens through the time zone, where
// with TZ unset the C library reads the zone file again each time, a tenth of the reading:
// the same zone is named once.
void prepararProcesoDeRecopilacion(bool conVentanas = false);
