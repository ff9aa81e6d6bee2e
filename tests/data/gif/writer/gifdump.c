/* Prints what a GIF decoder library reads from a file: the screen, the tables, each frame's
   placement, timing, disposal, transparency and indices, and the loop count; with -rgb, the first
   frame's colours as raw RGB instead. Used by check-writer.sh only. */
#include <gif_lib.h>
#include <stdio.h>
#include <string.h>

static void PrintMap(const char* Name, const ColorMapObject* Map) {
    if (!Map) return;
    printf("%s %d:", Name, Map->ColorCount);
    for (int i = 0; i < Map->ColorCount; ++i)
        printf(" %02x%02x%02x", Map->Colors[i].Red, Map->Colors[i].Green, Map->Colors[i].Blue);
    printf("\n");
}

int main(int argc, char** argv) {
    const int rgb = argc == 3 && strcmp(argv[1], "-rgb") == 0;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(argv[argc - 1], &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        fprintf(stderr, "gifdump: %s: %s\n", argv[argc - 1], GifErrorString(gif ? gif->Error : error));
        return 1;
    }
    if (rgb) {
        const SavedImage* f = &gif->SavedImages[0];
        const ColorMapObject* map = f->ImageDesc.ColorMap ? f->ImageDesc.ColorMap : gif->SColorMap;
        const int n = f->ImageDesc.Width * f->ImageDesc.Height;
        for (int i = 0; i < n; ++i) {
            const GifColorType c = map->Colors[f->RasterBits[i]];
            putchar(c.Red), putchar(c.Green), putchar(c.Blue);
        }
        return 0;
    }
    printf("screen %dx%d background %d\n", gif->SWidth, gif->SHeight, gif->SBackGroundColor);
    PrintMap("global", gif->SColorMap);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage* f = &gif->SavedImages[i];
        printf("frame %d at %d,%d size %dx%d interlaced %d\n", i, f->ImageDesc.Left, f->ImageDesc.Top,
               f->ImageDesc.Width, f->ImageDesc.Height, f->ImageDesc.Interlace);
        PrintMap("local", f->ImageDesc.ColorMap);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK)
            printf("delay %d disposal %d transparent %d\n", gcb.DelayTime, gcb.DisposalMode, gcb.TransparentColor);
        for (int e = 0; e < f->ExtensionBlockCount; ++e) {
            const ExtensionBlock* b = &f->ExtensionBlocks[e];
            if (b->Function == APPLICATION_EXT_FUNC_CODE && b->ByteCount == 11 && e + 1 < f->ExtensionBlockCount &&
                f->ExtensionBlocks[e + 1].ByteCount >= 3 && f->ExtensionBlocks[e + 1].Bytes[0] == 1)
                printf("loop %d\n", f->ExtensionBlocks[e + 1].Bytes[1] | f->ExtensionBlocks[e + 1].Bytes[2] << 8);
        }
        const int n = f->ImageDesc.Width * f->ImageDesc.Height;
        for (int p = 0; p < n; ++p) printf("%02x%s", f->RasterBits[p], (p + 1) % f->ImageDesc.Width ? "" : "\n");
    }
    DGifCloseFile(gif, &error);
    return 0;
}
