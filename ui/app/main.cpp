#include "app/image_app.h"

int main(int argc, char** argv)
{
    CImageApp app(argc, argv);
    if (!app.InitInstance())
        return 0;
    return app.exec();
}
