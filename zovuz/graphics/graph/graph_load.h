// ZoVuz graphics: graphs loaded from image files and memory images; part of the public graphics
// API (zovuz_graphics.h includes it).
//
// A file is read through the file-access table (archives first) and tried by every image loader;
// "name_a.ext" beside it, when present, gives the alpha channel (its red channel). A file that no
// image loader accepts is opened as a movie. Every loaded graph keeps its source, so its pixels
// come back after a device loss. With SetUseASyncLoadFlag(1) a load returns its handles at once;
// they are refused by every call until the load has ended, and deleted when it fails.
#pragma once

struct BASEIMAGE;

// A graph of an image file (name in the library's current multibyte code). The handle, or -1.
int LoadGraph(const char *FileName, int NotUse3DFlag);

// AllNum graphs of Width x Height cut from an image file, XNum per row, rows top to bottom, into
// HandleArray. A piece that runs past the image is cut off; one that starts outside it fails the
// load. 0, or -1 with no handle left.
int LoadDivGraph(const char *FileName, int AllNum, int XNum, int YNum, int Width, int Height, int *HandleArray,
                 int NotUse3DFlag);

// The same from a memory image (and its alpha image, or null). With ReverseFlag the image is
// mirrored and the columns are taken right to left. The images are copied for the restore; an
// asynchronous load reads them later, so they must stay until the handles are valid. 0 / -1.
int CreateDivGraphFromMem(const void *FileImage, int FileImageSize, int AllNum, int XNum, int YNum, int Width,
                          int Height, int *HandleArray, int NotUse3DFlag, int ReverseFlag, const void *AlphaFileImage,
                          int AlphaFileImageSize);

// A graph of an image (and an alpha image of its size, or null). The handle, or -1.
int CreateGraphFromBaseImage(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TextureFlag);
