package judge;

public final class Throw {
    public static void main(String[] args) {
        System.out.println("about to throw");
        throw new IllegalStateException("judge boom \u00e4\u00f6\u00fc \ud83d\ude00");
    }
}
