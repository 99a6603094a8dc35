#pragma once

#include "Apoyo.h"
#include "FrmLengMod1.h"
#include "FrmMatMod1H1.h"
#include "Pantalla.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The names each exam form gives its controls.
template <typename Form> struct RasgosExamen;
template <> struct RasgosExamen<FrmMatMod1H1> {
    static constexpr Asignatura asignatura = Asignatura::Matematica;
    static constexpr Pantalla pantalla = Pantalla::ExamenMatematica;
    static constexpr const char *botones = "CmdPreg_";
    static constexpr const char *opciones = "OpMatMod1Preg1Op";
};
template <> struct RasgosExamen<FrmLengMod1> {
    static constexpr Asignatura asignatura = Asignatura::Lengua;
    static constexpr Pantalla pantalla = Pantalla::ExamenLengua;
    static constexpr const char *botones = "Command1_";
    static constexpr const char *opciones = "OpLengMod1Preg1Op";
};

// An exam form as the screen loop runs it: every change of question destroys the form and
// loads a fresh one. Its own program folder holds the subject's pictures.
template <typename Form> struct ExamenDePrueba {
    using Rasgos = RasgosExamen<Form>;

    Banco banco;
    std::unique_ptr<Form> form;
    QString carpeta;
    int cajasConVentanaVisible = 0; // message boxes shown while the form was on screen

    // `preparar` fills the record (a registered student, say) before the form opens.
    explicit ExamenDePrueba(int modelo = 3, int preguntas = kPreguntas,
        const QString &subcarpeta = {}, const std::function<void(Banco &)> &preparar = {})
    {
        carpeta = banco.carpeta() + subcarpeta;
        banco.entorno.carpetaPrograma = carpeta;
        crearContenidoAsignatura(carpeta, Rasgos::asignatura, preguntas);
        Sesion &s = banco.sesion;
        modeloDe(s, Rasgos::asignatura) = qint16(modelo);
        s.Materia = nombreMateria(Rasgos::asignatura);
        preguntaDe(s, Rasgos::asignatura) = 1;
        banco.mensajes.alMostrar = [this](const LlamadaMensaje &) {
            if (form && form->isVisible())
                ++cajasConVentanaVisible;
        };
        if (preparar)
            preparar(banco);
        abrir();
    }
    void abrir()
    {
        form.reset();
        form = std::make_unique<Form>(banco.entorno, banco.sesion);
        form->cargar();
        form->show();
    }
    template <typename T = QPushButton> T *control(const QString &n)
    {
        return hijo<T>(form.get(), n);
    }
    QPushButton *pregunta(int q)
    {
        return control(QLatin1String(Rasgos::botones) + QString::number(q - 1));
    }
    QRadioButton *opcion(char letra)
    {
        return control<QRadioButton>(QLatin1String(Rasgos::opciones) + QLatin1Char(letra));
    }
    QString elegida()
    {
        for (char l : { 'A', 'B', 'C', 'D' })
            if (opcion(l)->isChecked())
                return QString(QLatin1Char(l));
        return {};
    }
    // Clicks a navigation button; the form must close and ask for itself again.
    void navegar(QPushButton *boton)
    {
        QTest::mouseClick(boton, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->siguiente(), Rasgos::pantalla);
        abrir();
    }
    void ir(int q) { navegar(pregunta(q)); }
    void elegir(char letra) { QTest::mouseClick(opcion(letra), Qt::LeftButton); }
    quint32 color(int q) { return pregunta(q)->property("colorFondo").toUInt(); }
    // A key pressed right after the form shows, where the focus is; true when the student
    // is still on the same question.
    bool teclaAlLlegar(Qt::Key tecla)
    {
        const int antes = preguntaDe(banco.sesion, Rasgos::asignatura);
        QTest::keyClick(form->focusWidget(), tecla);
        return form->isVisible() && preguntaDe(banco.sesion, Rasgos::asignatura) == antes;
    }
    // "Guardar y Finalizar", answering the confirmation with `respuesta`.
    void finalizar(int respuesta)
    {
        banco.mensajes.respuestas << respuesta;
        QTest::mouseClick(control("CmdFinalizar"), Qt::LeftButton);
    }
    CeldasHoja libro()
    {
        CeldasHoja c;
        banco.hoja.leerReporte(banco.sesion.RutaExcel + ".xlsx", &c);
        return c;
    }
};

// The keys a student may press the moment a question opens: a column "tecla".
inline void filasTeclasAlLlegar()
{
    QTest::addColumn<int>("tecla");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Space") << int(Qt::Key_Space);
}
