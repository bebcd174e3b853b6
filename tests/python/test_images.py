import pytest

import vtc880
from conftest import write_image


def test_read_image_gives_the_blocks_the_version_and_the_sizes(image_file, blocks):
    image = vtc880.read_image(image_file)
    assert image.blocks == blocks
    assert image.data_bytes == sum(len(data) for _, data in blocks)
    assert image.file_bytes == image.data_bytes + 8 * len(blocks)
    assert image.version is None
    assert len(image.sha256) == 64


@pytest.mark.parametrize(
    "name, make, words",
    [
        ("empty", lambda p: p.write_bytes(b""), "empty"),
        ("text", lambda p: p.write_text(":10010000214601360121470136007EFE09D2190140\n"), "Intel HEX"),
        ("directory", lambda p: p.mkdir(), "directory"),
        ("overlap", lambda p: write_image(p, [(0x100, b"\1" * 10), (0x102, b"\2" * 10)]), "overlap"),
        ("wrap", lambda p: write_image(p, [(0xFFFFFFFF, b"\1" * 4)]), "last word"),
        ("missing", lambda p: None, "cannot"),
    ],
)
def test_an_image_that_cannot_be_sent_is_an_image_error_in_the_tools_words(tmp_path, name, make, words):
    path = tmp_path / name
    make(path)
    with pytest.raises(vtc880.ImageError) as raised:
        vtc880.read_image(path)
    assert str(raised.value).startswith(str(path) + ": ")
    assert words in str(raised.value)
    assert raised.value.result is None


def test_pack_writes_the_image_and_returns_it(tmp_path):
    (tmp_path / "boot.bin").write_bytes(b"\xAA" * 250)
    recipe = tmp_path / "r.ini"
    recipe.write_text(
        f"[VERSION]\nVALUE=2.1.7\n[INPUT]\nSOURCE_1={tmp_path}/boot.bin\nADDRESS_1=100\n[RESULT]\nVALUE={tmp_path}/x.bin\n"
    )
    image = vtc880.pack(recipe, tmp_path / "out.bin")
    assert image.path == str(tmp_path / "out.bin")
    assert image.version == "2.1.7"
    assert image.blocks[1] == (0x100, b"\xAA" * 250)
    assert vtc880.read_image(tmp_path / "out.bin").blocks == image.blocks
    assert not (tmp_path / "x.bin").exists()


def test_a_refused_recipe_lists_each_problem_with_its_line_and_writes_nothing(tmp_path):
    recipe = tmp_path / "r.ini"
    recipe.write_text("[VERSION]\nVALUE=2.x\n[INPUT]\nSOURCE_1=missing.bin\nADDRESS_1=zz\n[RESULT]\nVALUE=out.bin\n")
    with pytest.raises(vtc880.RecipeError) as raised:
        vtc880.pack(recipe, tmp_path / "out.bin")
    lines = [line for line, _ in raised.value.problems]
    assert 2 in lines and 5 in lines
    assert all(f"line {line}" in text for line, text in raised.value.problems if line)
    assert not (tmp_path / "out.bin").exists()


def test_a_utf8_name_comes_back_as_it_was_given(tmp_path, blocks):
    path = write_image(tmp_path / "fïrmwäre-固件.bin", blocks)
    assert vtc880.read_image(path).path == str(path)
    (tmp_path / "leer-ä.bin").write_bytes(b"")
    with pytest.raises(vtc880.ImageError, match="leer-ä.bin: "):
        vtc880.read_image(tmp_path / "leer-ä.bin")
