// The wxWidgets backend's calls to GTK 3, beneath wxGTK: the edit limit, focus and mapping
// queries, accessible names and ids on the ATK objects (wxGTK passes no window names on by
// itself), the style sheet, and what tests need of the toolkit (its event queue, pictures of
// windows, the buttons of message boxes). Built only when wxWidgets runs on GTK.
#include <gtk/gtk.h>
#include <wx/textctrl.h>
#include <wx/window.h>

#include <algorithm>
#include <cstdlib>

#include "ui/dialog.h"
#include "ui/wx_native.h"

namespace ui::wx::native {

namespace {

// Typing limits of single-line edits. The toolkit's own limit refuses a whole insertion that would
// overflow, so a longer text set by the program would leave the edit empty. Here, as with the
// platform's edit limit, the limit applies to what the user types or pastes (cut to the room
// left); text the program sets is kept whole.
int g_settingText = 0;  // > 0 while the program sets an edit's text
constexpr const char* kLimitKey = "orvane-text-limit";

void OnInsertText(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer) {
    const int limit = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(editable), kLimitKey));
    if (limit <= 0 || g_settingText > 0)
        return;
    const gint held = gtk_entry_get_text_length(GTK_ENTRY(editable));
    const glong inserted = length < 0 ? g_utf8_strlen(text, -1) : g_utf8_strlen(text, length);
    const glong room = std::max<glong>(0, limit - held);
    if (inserted <= room)
        return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (room == 0) {
        gtk_widget_error_bell(GTK_WIDGET(editable));
        return;
    }
    const gchar* end = g_utf8_offset_to_pointer(text, room);
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(OnInsertText), nullptr);
    gtk_editable_insert_text(editable, text, gint(end - text), position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(OnInsertText), nullptr);
}

// Every inner widget of a composite control a user can reach.
void CollectFocusable(GtkWidget* widget, std::vector<GtkWidget*>& out) {
    if (!GTK_IS_CONTAINER(widget))
        return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* l = children; l; l = l->next) {
        GtkWidget* child = GTK_WIDGET(l->data);
        if (gtk_widget_get_can_focus(child) || GTK_IS_ENTRY(child))
            out.push_back(child);
        CollectFocusable(child, out);
    }
    g_list_free(children);
}

AtkObject* AccessibleOf(wxWindow* control) {
    GtkWidget* widget = GTK_WIDGET(control->GetHandle());
    return widget ? gtk_widget_get_accessible(widget) : nullptr;
}

}  // namespace

void PrepareNativeToolkit() {
    // The windows draw nothing with OpenGL; without this GTK loads the GL driver stack while it
    // probes the display, which more than doubles the program's resident memory. A value the
    // user set stays.
    setenv("GDK_GL", "disable", 0);
}

void SetTypingLimit(wxTextCtrl* edit, int limit) {
    GtkWidget* widget = GTK_WIDGET(edit->GetHandle());
    if (!GTK_IS_ENTRY(widget))
        return;
    if (!g_object_get_data(G_OBJECT(widget), "orvane-limit-hooked")) {
        g_object_set_data(G_OBJECT(widget), "orvane-limit-hooked", GINT_TO_POINTER(1));
        g_signal_connect(widget, "insert-text", G_CALLBACK(OnInsertText), nullptr);
    }
    g_object_set_data(G_OBJECT(widget), kLimitKey, GINT_TO_POINTER(limit));
}

void ChangeText(wxTextCtrl* edit, const wxString& text) {
    ++g_settingText;
    edit->ChangeValue(text);
    --g_settingText;
}
void SetPasswordStyle(wxWindow* edit, bool hidden) {
    if (GTK_IS_ENTRY(edit->GetHandle()))
        gtk_entry_set_visibility(GTK_ENTRY(edit->GetHandle()), !hidden);
}

std::vector<WXWidget> FocusPath(wxWindow* window) {
    std::vector<WXWidget> path;
    GtkWidget* self = GTK_WIDGET(window->GetHandle());
    GtkWidget* top = gtk_widget_get_toplevel(self);
    if (!GTK_IS_WINDOW(top))
        return path;
    for (GtkWidget* w = gtk_window_get_focus(GTK_WINDOW(top)); w && w != self;
         w = gtk_widget_get_parent(w))
        path.push_back(w);
    return path;
}

bool IsOnScreen(WXWidget widget) {
    return widget && gtk_widget_get_mapped(widget);
}

void SetAccessibleName(wxWindow* control, const std::string& name, const std::string& id) {
    auto apply = [&](GtkWidget* widget) {
        AtkObject* accessible = gtk_widget_get_accessible(widget);
        if (!accessible)
            return;
        atk_object_set_name(accessible, name.c_str());
        if (!id.empty())
            atk_object_set_accessible_id(accessible, id.c_str());
    };
    GtkWidget* widget = GTK_WIDGET(control->GetHandle());
    if (!widget)
        return;
    apply(widget);
    // Composite controls (the date picker, the address control): every inner widget a user can
    // reach carries the control's name too.
    std::vector<GtkWidget*> inner;
    CollectFocusable(widget, inner);
    for (GtkWidget* w : inner)
        apply(w);
}

std::string AccessibleName(wxWindow* control) {
    AtkObject* accessible = AccessibleOf(control);
    const char* name = accessible ? atk_object_get_name(accessible) : nullptr;
    return name ? name : "";
}

std::string AccessibleId(wxWindow* control) {
    AtkObject* accessible = AccessibleOf(control);
    const char* text = accessible ? atk_object_get_accessible_id(accessible) : nullptr;
    return text ? text : "";
}

void ApplyStyleSheet(const char* rules) {
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen)
        return;
    // State changes (enabled, disabled) show at once, not after a fade: what a picture or a test
    // sees is what the program set.
    g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, rules, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

void ProcessEvents() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

bool SavePicture(wxWindow* top, const std::string& path) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(top->GetHandle()));
    if (!window)
        return false;
    gdk_display_sync(gdk_window_get_display(window));
    const int width = gdk_window_get_width(window);
    const int height = gdk_window_get_height(window);
    GdkPixbuf* pixels = gdk_pixbuf_get_from_window(window, 0, 0, width, height);
    if (!pixels)
        return false;
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(pixels, path.c_str(), "png", &error, nullptr);
    if (error)
        g_error_free(error);
    g_object_unref(pixels);
    return saved;
}

bool ButtonRect(WXWidget box, int result, wxRect& screen) {
    const int response = result == kIdCancel ? GTK_RESPONSE_CANCEL
                         : result == kIdYes  ? GTK_RESPONSE_YES
                         : result == kIdNo   ? GTK_RESPONSE_NO
                                             : GTK_RESPONSE_OK;
    GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), response);
    GdkWindow* window = gtk_widget_get_window(box);
    if (!button || !window || !gtk_widget_get_mapped(button))
        return false;
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    GtkAllocation place;
    gtk_widget_get_allocation(button, &place);
    int bx = 0, by = 0;
    gtk_widget_translate_coordinates(button, box, 0, 0, &bx, &by);
    screen = wxRect(x + bx, y + by, place.width, place.height);
    return true;
}

}  // namespace ui::wx::native
