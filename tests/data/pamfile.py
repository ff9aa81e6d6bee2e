# Writing the reference pixels of a hand-built fixture: an 8-bit RGB_ALPHA PAM file.


def pam(name, width, height, rgba):
    with open(name, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (width, height))
        f.write(bytes(rgba))
