// Linked with every widget-free layer whole and with neither Qt Gui nor Qt Widgets: if a layer
// used a widget, this program would not link. It is built, never run.
int main()
{
    return 0;
}
