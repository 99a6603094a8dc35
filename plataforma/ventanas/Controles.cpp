#include "Controles.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QPalette>

void ponerColorFondo(QWidget *control, quint32 color)
{
    if (auto *boton = qobject_cast<Boton *>(control)) {
        boton->setColorFondo(color);
        return;
    }
    control->setAutoFillBackground(true);
    QPalette paleta = control->palette();
    paleta.setColor(QPalette::Window, colorVB(color));
    control->setPalette(paleta);
}

void aplicarDiseno(QWidget *control, const DisenoControl &diseno)
{
    control->setObjectName(diseno.nombre);
    control->setGeometry(
        twRect(diseno.caja.izquierda, diseno.caja.arriba, diseno.caja.ancho, diseno.caja.alto));
    if (diseno.fuente)
        control->setFont(*diseno.fuente);
    if (diseno.colorFondo)
        ponerColorFondo(control, *diseno.colorFondo);
}

namespace {

// A list as a screen reader should hear it: "Turno, lista, MAÑANA", not "MAÑANA". It keeps
// what the list does for one: its items (its view), and opening and closing it.
class ListaAccesible final : public QAccessibleWidget {
public:
    explicit ListaAccesible(QComboBox *lista)
        : QAccessibleWidget(lista, QAccessible::ComboBox)
    {
    }

    QComboBox *lista() const { return static_cast<QComboBox *>(object()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && !lista()->accessibleName().isEmpty())
            return lista()->accessibleName();
        if (t == QAccessible::Name || t == QAccessible::Value)
            return lista()->currentText();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return lista()->view() ? 1 : 0; }
    QAccessibleInterface *child(int indice) const override
    {
        return indice == 0 && lista()->view()
            ? QAccessible::queryAccessibleInterface(lista()->view())
            : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *hijo) const override
    {
        return hijo && lista()->view() && hijo->object() == lista()->view() ? 0 : -1;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = lista()->view() && lista()->view()->isVisible();
        return s;
    }

    // A widget's interface answers for its actions already; these are a list's.
    QStringList actionNames() const override { return { showMenuAction(), pressAction() }; }
    void doAction(const QString &accion) override
    {
        if (accion != showMenuAction() && accion != pressAction())
            return;
        if (lista()->view() && lista()->view()->isVisible())
            lista()->hidePopup();
        else
            lista()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

QAccessibleInterface *fabricaDeListas(const QString &clase, QObject *objeto)
{
    if (clase != QLatin1String("QComboBox") || !objeto || !objeto->isWidgetType())
        return nullptr;
    auto *lista = static_cast<QComboBox *>(objeto);
    return lista->isEditable() ? nullptr : new ListaAccesible(lista);
}

} // namespace

void nombrarListasPorSuEtiqueta()
{
    static const bool instalada = [] {
        QAccessible::installFactory(&fabricaDeListas);
        return true;
    }();
    (void)instalada;
}
