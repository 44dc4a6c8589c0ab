// Program entry: create the main window, run its message loop, then open "play.url" if it exists.
int main()
{
    return 0;
}
